#include "richtext/RtfWriter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <vector>

#include "base/Diagnostics.h"

namespace quill {
namespace {

// An RTF parameter: an int, as the reader takes it. Formats read from outside
// may hold any float, so the value is rounded and kept in range.
int parameter(double value) {
    if (std::isnan(value)) return 0;
    return static_cast<int>(std::clamp(std::round(value), -double(INT_MAX), double(INT_MAX)));
}

int twips(float points) { return parameter(double(points) * 20.0); }
int halfPoints(float points) { return parameter(double(points) * 2.0); }

// Family words for the font table, by a part of the font's name.
struct FontFamily {
    const char* namePart;
    const char* word;
};
const FontFamily kFontFamilies[] = {
    {"Courier", "\\fmodern"}, {"Mono", "\\fmodern"}, {"Ohlfs", "\\fmodern"},
    {"Times", "\\froman"},    {"Serif", "\\froman"},
};

const char* familyWord(const std::string& font) {
    for (const FontFamily& f : kFontFamilies) {
        if (font.find(f.namePart) != std::string::npos) return f.word;
    }
    return "\\fswiss";
}

const char* alignmentWord(int alignment) {
    static const char* const kWords[] = {"\\ql", "\\qr", "\\qc", "\\qj"};
    return alignment >= 0 && alignment < 4 ? kWords[alignment] : kWords[0];
}

class Writer {
  public:
    Writer(const RichText& text, AttachmentForm form) : m_text(text), m_form(form) {}

    std::string run() {
        collectFonts();
        writeHeader();
        std::optional<ParagraphFormat> lastPara;
        for (const RichText::Paragraph& p : m_text.paragraphs()) {
            if (!lastPara || *lastPara != *p.format) {
                writeParagraphFormat(*p.format);
                lastPara = *p.format;
            }
            for (const RichText::Run& run : m_text.runs(p.start, p.length)) writeRun(run);
        }
        m_out += "}";
        return std::move(m_out);
    }

  private:
    void collectFonts() {
        m_fonts.push_back(CharFormat().font);
        for (const RichText::Run& run : m_text.runs()) {
            if (std::find(m_fonts.begin(), m_fonts.end(), run.format->font) == m_fonts.end()) {
                m_fonts.push_back(run.format->font);
            }
        }
    }

    int fontNumber(const std::string& font) const {
        return static_cast<int>(std::find(m_fonts.begin(), m_fonts.end(), font) - m_fonts.begin());
    }

    void writeHeader() {
        m_out = "{\\rtf1\\ansi\\deff0{\\fonttbl";
        for (size_t i = 0; i < m_fonts.size(); ++i) {
            m_out += formatString("\\f%zu%s ", i, familyWord(m_fonts[i]));
            writeEscaped(m_fonts[i]);
            m_out += ";";
        }
        m_out += "}\n";
        const Margins& m = m_text.margins();
        const std::pair<const char*, float> margins[] = {
            {"\\margl", m.left}, {"\\margr", m.right}, {"\\margt", m.top}, {"\\margb", m.bottom}};
        bool any = false;
        for (const auto& [word, value] : margins) {
            if (value == 0.0f) continue;
            m_out += formatString("%s%d", word, twips(value));
            any = true;
        }
        if (any) m_out += "\n";
    }

    void writeParagraphFormat(const ParagraphFormat& para) {
        m_out += "\\pard";
        m_out += alignmentWord(para.alignment);
        int following = twips(para.indent);
        int first = parameter(double(twips(para.firstIndent)) - following);
        if (first != 0) m_out += formatString("\\fi%d", first);
        if (following != 0) m_out += formatString("\\li%d", following);
        m_written.reset();
        m_pendingDelimiter = true;
    }

    // Words that take the character format from what was written last to to.
    void writeCharFormat(const CharFormat& to) {
        if (m_written && *m_written == to) return;
        std::string words;
        if (!m_written) {
            words = formatString("\\plain\\f%d\\fs%d", fontNumber(to.font), halfPoints(to.size));
            if (to.traits & kBoldTrait) words += "\\b";
            if (to.traits & kItalicTrait) words += "\\i";
            if (to.traits & kUnderlineTrait) words += "\\ul";
        } else {
            const CharFormat& from = *m_written;
            if (from.font != to.font) words += formatString("\\f%d", fontNumber(to.font));
            if (halfPoints(from.size) != halfPoints(to.size)) {
                words += formatString("\\fs%d", halfPoints(to.size));
            }
            words += traitWords(from.traits, to.traits);
        }
        int shift = halfPoints(to.baseline);
        if (!m_written || halfPoints(m_written->baseline) != shift) {
            if (shift > 0) words += formatString("\\up%d", shift);
            if (shift < 0) words += formatString("\\dn%d", -shift);
            if (shift == 0 && m_written) words += "\\up0";
        }
        m_out += words;
        m_written = to;
        m_pendingDelimiter = true;
    }

    static std::string traitWords(unsigned from, unsigned to) {
        struct Trait {
            unsigned bit;
            const char* on;
            const char* off;
        };
        static const Trait kTraits[] = {{kBoldTrait, "\\b", "\\b0"},
                                        {kItalicTrait, "\\i", "\\i0"},
                                        {kUnderlineTrait, "\\ul", "\\ulnone"}};
        std::string words;
        for (const Trait& t : kTraits) {
            if ((from & t.bit) != (to & t.bit)) words += (to & t.bit) ? t.on : t.off;
        }
        return words;
    }

    // The blank that ends the last control word, written just before text.
    void delimit() {
        if (m_pendingDelimiter) m_out += ' ';
        m_pendingDelimiter = false;
    }

    void writeRun(const RichText::Run& run) {
        writeCharFormat(*run.format);
        if (run.attachment) {
            writeCell(*run.attachment);
            return;
        }
        std::string_view text = run.text;
        bool endsParagraph = !text.empty() && text.back() == '\n';
        if (endsParagraph) text.remove_suffix(1);
        if (!text.empty()) {
            delimit();
            writeEscaped(text);
        }
        if (endsParagraph) {
            m_out += "\\\n";
            m_pendingDelimiter = false;
        }
    }

    void writeCell(const Attachment& cell) {
        m_pendingDelimiter = false;
        if (!cell.isFile()) {
            m_out += "{{\\" + cell.directive + " ";
            writeEscaped(cell.name);
            m_out += "}\n\xAC}";
        } else if (m_form == AttachmentForm::Wire) {
            m_out += "{{\\attachment ";
            writeEscaped(cell.name);
            m_out += "\n}";
        } else {
            m_out += "{{\\ZellGraphic ";
            writeEscaped(cell.name);
            m_out += formatString(" \\width%d \\height%d}\n\xAC}", cell.width, cell.height);
        }
    }

    void writeEscaped(std::string_view text) {
        for (char c : text) {
            auto byte = static_cast<unsigned char>(c);
            if (c == '\\' || c == '{' || c == '}') {
                m_out += '\\';
                m_out += c;
            } else if (c == '\f') {
                m_out += "\\page ";
            } else if (byte >= 0x80 && byte < 0xA0) {
                // \'hh would be read as Windows punctuation; \u keeps the byte itself.
                m_out += formatString("\\u%d?", byte);
            } else if (byte >= 0x80 || (byte < 0x20 && c != '\t')) {
                m_out += formatString("\\'%02x", byte);
            } else {
                m_out += c;
            }
        }
    }

    const RichText& m_text;
    AttachmentForm m_form;
    std::string m_out;
    std::vector<std::string> m_fonts;
    std::optional<CharFormat> m_written;
    bool m_pendingDelimiter = false;
};

}  // namespace

std::string RtfWriter::write(const RichText& text, AttachmentForm form) {
    if (text.isUtf8()) return Writer(text.inEncoding(false), form).run();
    return Writer(text, form).run();
}

}  // namespace quill

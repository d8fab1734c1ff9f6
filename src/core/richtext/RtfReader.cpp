#include "richtext/RtfReader.h"

#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/ascii.h"

namespace quill {
namespace {

enum class Dest { Text, Skip, FontTable, Cell };

struct Group {
    CharFormat chr;
    ParagraphFormat para;
    int firstTwips = 0;  // \fi: first line relative to the others
    int leftTwips = 0;   // \li
    int uc = 1;          // fallback characters after \uN
    Dest dest = Dest::Text;
    bool ownsCell = false;
};

constexpr size_t kDeepestGroup = 1000;

// Escaped bytes are in the writer's code page, in practice Windows-1252; its
// punctuation in 128..159 becomes the nearest ISO 8859-1 character.
char fromWindowsByte(unsigned char byte) {
    static const std::pair<unsigned char, char> kPunctuation[] = {
        {0x82, ','}, {0x84, '"'}, {0x85, '.'},    {0x8B, '<'}, {0x91, '\''}, {0x92, '\''},
        {0x93, '"'}, {0x94, '"'}, {0x95, '\xB7'}, {0x96, '-'}, {0x97, '-'},  {0x9B, '>'},
    };
    for (const auto& [from, to] : kPunctuation) {
        if (from == byte) return to;
    }
    return static_cast<char>(byte);
}

class Parser {
  public:
    Parser(std::string_view in, const CharFormat& base) : m_in(in), m_base(base) {
        Group doc;
        doc.chr = base;
        m_groups.push_back(doc);
    }

    RichText run();

    // Handlers of the control-word table.
    using Handler = void (*)(Parser&, bool hasParam, int param);
    Group& top() { return m_groups.back(); }
    void setTrait(unsigned bit, bool on) {
        top().chr.traits = on ? (top().chr.traits | bit) : (top().chr.traits & ~bit);
    }
    void setIndents() {
        Group& g = top();
        g.para.indent = static_cast<float>(g.leftTwips) / 20.0f;
        // Each indent may be any int the reader accepts, so their sum is taken wide.
        g.para.firstIndent =
            static_cast<float>(static_cast<std::int64_t>(g.leftTwips) + g.firstTwips) / 20.0f;
    }
    void plain() {
        top().chr = m_base;
        top().chr.font = m_plainFont.empty() ? m_base.font : m_plainFont;
    }
    void font(int number) {
        if (top().dest == Dest::FontTable) {
            m_fontNumber = number;
            m_fontName.clear();
        } else if (auto it = m_fonts.find(number); it != m_fonts.end()) {
            top().chr.font = it->second;
        }
    }
    void unicode(int code) {
        if (code < 0) code += 65536;
        int fallback = top().uc;
        if (code < 256) {
            text(static_cast<char>(code), false);
        } else if (fallback == 0) {
            text('?', false);
        } else {
            return;  // the fallback text stands for the character
        }
        m_skip = fallback;
    }
    void skipBinary(int count) {
        m_pos += std::min(static_cast<size_t>(std::max(count, 0)), m_in.size() - m_pos);
    }
    void paragraphBreak();
    void startCell(const char* directive);

    Margins m_margins;
    int m_deff = 0;
    int m_cellWidth = 0;
    int m_cellHeight = 0;

  private:
    void openGroup();
    void closeGroup();
    void controlWord();
    void controlSymbol(char c);
    void text(char c, bool raw);
    void addText(char c);
    void releaseHeld();
    void flush();
    void finish();
    void emitCell();

    std::string_view m_in;
    size_t m_pos = 0;
    CharFormat m_base;
    std::vector<Group> m_groups;
    RichText m_out;
    std::string m_pending;  // text not yet added, all in m_pendingFormat
    CharFormat m_pendingFormat;
    size_t m_paraStart = 0;
    int m_skip = 0;          // fallback characters still to skip after \uN
    bool m_swallow = false;  // a cell group just ended: its blank and 0xAC byte follow
    std::string m_held;      // blanks seen while m_swallow
    size_t m_tooDeep = 0;    // groups opened beyond kDeepestGroup
    std::map<int, std::string> m_fonts;
    int m_fontNumber = 0;
    std::string m_fontName;
    std::string m_plainFont;
    std::string m_cellDirective;
    std::string m_cellName;
};

// Control words that set formatting; every word not here (nor in the tables
// below) is skipped.
const std::unordered_map<std::string_view, Parser::Handler>& wordTable() {
    static const std::unordered_map<std::string_view, Parser::Handler> table = {
        {"b", [](Parser& p, bool has, int v) { p.setTrait(kBoldTrait, !has || v != 0); }},
        {"i", [](Parser& p, bool has, int v) { p.setTrait(kItalicTrait, !has || v != 0); }},
        {"ul", [](Parser& p, bool has, int v) { p.setTrait(kUnderlineTrait, !has || v != 0); }},
        {"uld", [](Parser& p, bool, int) { p.setTrait(kUnderlineTrait, true); }},
        {"uldb", [](Parser& p, bool, int) { p.setTrait(kUnderlineTrait, true); }},
        {"ulw", [](Parser& p, bool, int) { p.setTrait(kUnderlineTrait, true); }},
        {"ulnone", [](Parser& p, bool, int) { p.setTrait(kUnderlineTrait, false); }},
        {"plain", [](Parser& p, bool, int) { p.plain(); }},
        {"f", [](Parser& p, bool, int v) { p.font(v); }},
        {"deff", [](Parser& p, bool, int v) { p.m_deff = v; }},
        {"fs",
         [](Parser& p, bool, int v) {
             if (v > 0) p.top().chr.size = static_cast<float>(v) / 2.0f;
         }},
        {"up", [](Parser& p, bool has, int v) { p.top().chr.baseline = (has ? v : 6) / 2.0f; }},
        {"dn", [](Parser& p, bool has, int v) { p.top().chr.baseline = -(has ? v : 6) / 2.0f; }},
        {"super", [](Parser& p, bool, int) { p.top().chr.baseline = p.top().chr.size / 3.0f; }},
        {"sub", [](Parser& p, bool, int) { p.top().chr.baseline = -p.top().chr.size / 3.0f; }},
        {"nosupersub", [](Parser& p, bool, int) { p.top().chr.baseline = 0.0f; }},
        {"pard",
         [](Parser& p, bool, int) {
             p.top().para = ParagraphFormat();
             p.top().firstTwips = p.top().leftTwips = 0;
         }},
        {"ql", [](Parser& p, bool, int) { p.top().para.alignment = kAlignLeft; }},
        {"qr", [](Parser& p, bool, int) { p.top().para.alignment = kAlignRight; }},
        {"qc", [](Parser& p, bool, int) { p.top().para.alignment = kAlignCenter; }},
        {"qj", [](Parser& p, bool, int) { p.top().para.alignment = kAlignJustified; }},
        {"fi",
         [](Parser& p, bool, int v) {
             p.top().firstTwips = v;
             p.setIndents();
         }},
        {"li",
         [](Parser& p, bool, int v) {
             p.top().leftTwips = v;
             p.setIndents();
         }},
        {"par", [](Parser& p, bool, int) { p.paragraphBreak(); }},
        {"line", [](Parser& p, bool, int) { p.paragraphBreak(); }},
        {"row", [](Parser& p, bool, int) { p.paragraphBreak(); }},
        {"sect", [](Parser& p, bool, int) { p.paragraphBreak(); }},
        {"u",
         [](Parser& p, bool has, int v) {
             if (has) p.unicode(v);
         }},
        {"uc", [](Parser& p, bool, int v) { p.top().uc = std::max(v, 0); }},
        {"bin", [](Parser& p, bool, int v) { p.skipBinary(v); }},
        {"margl", [](Parser& p, bool, int v) { p.m_margins.left = v / 20.0f; }},
        {"margr", [](Parser& p, bool, int v) { p.m_margins.right = v / 20.0f; }},
        {"margt", [](Parser& p, bool, int v) { p.m_margins.top = v / 20.0f; }},
        {"margb", [](Parser& p, bool, int v) { p.m_margins.bottom = v / 20.0f; }},
        {"width", [](Parser& p, bool, int v) { p.m_cellWidth = v; }},
        {"height", [](Parser& p, bool, int v) { p.m_cellHeight = v; }},
        {"ZellGraphic", [](Parser& p, bool, int) { p.startCell("ZellGraphic"); }},
        {"attachment", [](Parser& p, bool, int) { p.startCell("ZellGraphic"); }},
        {"TesselURL", [](Parser& p, bool, int) { p.startCell("TesselURL"); }},
    };
    return table;
}

// Control words that stand for one character of text.
const std::unordered_map<std::string_view, char>& symbolTable() {
    static const std::unordered_map<std::string_view, char> table = {
        {"tab", '\t'},    {"cell", '\t'},   {"page", '\f'},     {"bullet", '\xB7'},
        {"lquote", '\''}, {"rquote", '\''}, {"ldblquote", '"'}, {"rdblquote", '"'},
        {"emdash", '-'},  {"endash", '-'},  {"emspace", ' '},   {"enspace", ' '},
        {"qmspace", ' '},
    };
    return table;
}

// Destinations whose contents are not part of the text.
const std::unordered_map<std::string_view, Dest>& destinationTable() {
    static const std::unordered_map<std::string_view, Dest> table = {
        {"fonttbl", Dest::FontTable}, {"colortbl", Dest::Skip},  {"stylesheet", Dest::Skip},
        {"info", Dest::Skip},         {"pict", Dest::Skip},      {"header", Dest::Skip},
        {"headerl", Dest::Skip},      {"headerr", Dest::Skip},   {"headerf", Dest::Skip},
        {"footer", Dest::Skip},       {"footerl", Dest::Skip},   {"footerr", Dest::Skip},
        {"footerf", Dest::Skip},      {"footnote", Dest::Skip},  {"object", Dest::Skip},
        {"fldinst", Dest::Skip},      {"listtable", Dest::Skip}, {"listoverridetable", Dest::Skip},
        {"revtbl", Dest::Skip},       {"rsidtbl", Dest::Skip},   {"generator", Dest::Skip},
        {"themedata", Dest::Skip},    {"xe", Dest::Skip},        {"tc", Dest::Skip},
        {"nonshppict", Dest::Skip},   {"filetbl", Dest::Skip},   {"latentstyles", Dest::Skip},
    };
    return table;
}

RichText Parser::run() {
    while (m_pos < m_in.size() && !m_groups.empty()) {
        char c = m_in[m_pos++];
        if (c == '{') {
            openGroup();
        } else if (c == '}') {
            closeGroup();
        } else if (c == '\\') {
            controlWord();
        } else if (c != '\n' && c != '\r' && c != '\0') {
            text(c, true);
        }
    }
    while (m_groups.size() > 1) m_groups.pop_back();  // unclosed groups end with the input
    if (!m_groups.empty()) finish();
    m_out.setMargins(m_margins);
    return std::move(m_out);
}

void Parser::openGroup() {
    m_skip = 0;
    if (m_groups.size() >= kDeepestGroup) {  // deeper groups only count their braces
        ++m_tooDeep;
        return;
    }
    Group inner = top();
    inner.ownsCell = false;
    m_groups.push_back(inner);
}

void Parser::closeGroup() {
    m_skip = 0;
    if (m_tooDeep > 0) {
        --m_tooDeep;
        return;
    }
    Group inner = top();
    if (inner.dest == Dest::FontTable && !m_fontName.empty()) {
        m_fonts[m_fontNumber] = trimmed(m_fontName, isBlank);
        m_fontName.clear();
    }
    if (m_groups.size() == 1) {  // the document group: the end
        finish();
        m_groups.pop_back();
        return;
    }
    m_groups.pop_back();
    if (inner.dest == Dest::FontTable && top().dest != Dest::FontTable) {
        if (auto it = m_fonts.find(m_deff); it != m_fonts.end()) {
            m_plainFont = it->second;
            top().chr.font = m_plainFont;
        }
    }
    if (inner.ownsCell) emitCell();
}

void Parser::controlWord() {
    if (m_pos >= m_in.size()) return;
    char c = m_in[m_pos];
    if (!isAlpha(c)) {
        ++m_pos;
        controlSymbol(c);
        return;
    }
    size_t start = m_pos;
    while (m_pos < m_in.size() && isAlpha(m_in[m_pos])) ++m_pos;
    std::string_view word = m_in.substr(start, std::min<size_t>(m_pos - start, 32));
    bool hasParam = false;
    long param = 0;
    bool negative = m_pos < m_in.size() && m_in[m_pos] == '-';
    if (negative) ++m_pos;
    while (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
        hasParam = true;
        if (param < INT_MAX) param = param * 10 + (m_in[m_pos] - '0');
        ++m_pos;
    }
    if (m_pos < m_in.size() && m_in[m_pos] == ' ') ++m_pos;
    int value = static_cast<int>(std::min<long>(param, INT_MAX)) * (negative ? -1 : 1);

    if (word == "bin") {  // binary data is skipped whatever the destination
        skipBinary(value);
        return;
    }
    if (top().dest == Dest::Skip) return;
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    if (auto d = destinationTable().find(word); d != destinationTable().end()) {
        top().dest = d->second;
    } else if (auto s = symbolTable().find(word); s != symbolTable().end()) {
        text(s->second, false);
    } else if (auto h = wordTable().find(word); h != wordTable().end()) {
        if (top().dest != Dest::Text && top().dest != Dest::Cell && word != "f") return;
        flush();
        h->second(*this, hasParam, value);
    }
}

void Parser::controlSymbol(char c) {
    if (c == '*') {
        top().dest = Dest::Skip;
    } else if (c == '\'') {
        int hi = m_pos < m_in.size() ? hexValue(m_in[m_pos]) : -1;
        int lo = m_pos + 1 < m_in.size() ? hexValue(m_in[m_pos + 1]) : -1;
        if (hi < 0 || lo < 0) return;
        m_pos += 2;
        text(fromWindowsByte(static_cast<unsigned char>(hi * 16 + lo)), false);
    } else if (c == '\n' || c == '\r') {
        if (top().dest == Dest::Text) paragraphBreak();
    } else if (c == '~') {
        text('\xA0', false);
    } else if (c == '_') {
        text('-', false);
    } else if (c == '\\' || c == '{' || c == '}') {
        text(c, false);
    }
}

void Parser::text(char c, bool raw) {
    Group& g = top();
    if (g.dest == Dest::Skip) return;
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    if (g.dest == Dest::FontTable) {
        if (c == ';') {
            m_fonts[m_fontNumber] = trimmed(m_fontName, isBlank);
            m_fontName.clear();
        } else {
            m_fontName += c;
        }
        return;
    }
    if (g.dest == Dest::Cell) {
        m_cellName += c;
        return;
    }
    if (m_swallow) {
        if (raw && isBlank(c)) {
            m_held += c;
            return;
        }
        m_swallow = false;
        if (raw && c == kAttachmentChar) {  // the cell's own byte, with its separator
            m_held.clear();
            return;
        }
        releaseHeld();
    }
    addText(c);
}

void Parser::addText(char c) {
    if (!m_pending.empty() && m_pendingFormat != top().chr) flush();
    if (m_pending.empty()) m_pendingFormat = top().chr;
    m_pending += c;
}

// Blanks after a cell that turned out not to be followed by its 0xAC byte are text.
void Parser::releaseHeld() {
    std::string held = std::move(m_held);
    m_held.clear();
    for (char h : held) addText(h);
}

void Parser::flush() {
    if (m_pending.empty()) return;
    m_out.append(m_pending, m_pendingFormat, top().para);
    m_pending.clear();
}

// Adds what is pending and gives the last paragraph its format.
void Parser::finish() {
    if (m_swallow) releaseHeld();
    m_swallow = false;
    flush();
    if (m_out.length() > m_paraStart) {
        m_out.setParagraphFormat(m_paraStart, m_out.length() - m_paraStart, top().para);
    }
}

void Parser::paragraphBreak() {
    if (m_swallow) releaseHeld();
    m_swallow = false;
    flush();
    m_out.append("\n", top().chr, top().para);
    m_out.setParagraphFormat(m_paraStart, m_out.length() - m_paraStart, top().para);
    m_paraStart = m_out.length();
}

void Parser::startCell(const char* directive) {
    Group& g = top();
    if (g.dest != Dest::Text) return;
    g.dest = Dest::Cell;
    g.ownsCell = true;
    m_cellDirective = directive;
    m_cellName.clear();
    m_cellWidth = m_cellHeight = 0;
}

void Parser::emitCell() {
    if (m_swallow) releaseHeld();
    flush();
    Attachment cell;
    cell.directive = m_cellDirective;
    cell.name = trimmed(m_cellName, isBlank);
    cell.width = m_cellWidth;
    cell.height = m_cellHeight;
    m_out.replaceWithAttachment(m_out.length(), 0, cell, top().chr, top().para);
    m_swallow = true;
    m_held.clear();
}

}  // namespace

bool RtfReader::looksLikeRtf(std::string_view data) {
    size_t i = data.find_first_not_of(" \t\r\n");
    return i != std::string_view::npos && data.substr(i, 5) == "{\\rtf";
}

std::optional<RichText> RtfReader::read(std::string_view rtf, const CharFormat& base) {
    if (!looksLikeRtf(rtf)) return std::nullopt;
    size_t i = rtf.find('{');
    return Parser(rtf.substr(i + 1), base).run();
}

}  // namespace quill

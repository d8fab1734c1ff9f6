#include "richtext/RichText.h"

#include <algorithm>

#include "base/Diagnostics.h"
#include "base/utf8.h"

namespace quill {
namespace {

const CharFormat kDefaultChar;
const ParagraphFormat kDefaultParagraph;

}  // namespace

uint32_t RichText::intern(const Style& style) {
    auto it = m_styleIndex.find(style);
    if (it != m_styleIndex.end()) return it->second;
    uint32_t index = static_cast<uint32_t>(m_styles.size());
    m_styles.push_back(style);
    m_styleIndex.emplace(style, index);
    return index;
}

size_t RichText::paragraphStart(size_t index) const {
    index = std::min(index, m_text.size());
    if (index == 0) return 0;
    size_t nl = m_text.rfind('\n', index - 1);
    return nl == std::string::npos ? 0 : nl + 1;
}

size_t RichText::paragraphEnd(size_t index) const {
    size_t nl = m_text.find('\n', index);
    return nl == std::string::npos ? m_text.size() : nl + 1;
}

void RichText::splice(size_t start, size_t count, std::string_view text,
                      std::vector<uint32_t> styles) {
    start = std::min(start, m_text.size());
    count = std::min(count, m_text.size() - start);
    m_text.replace(start, count, text);
    auto at = m_styleOf.begin() + static_cast<std::ptrdiff_t>(start);
    at = m_styleOf.erase(at, at + static_cast<std::ptrdiff_t>(count));
    m_styleOf.insert(at, styles.begin(), styles.end());
    keepParagraphFormat(start, text.size());
}

// Keeps every paragraph uniform (all its bytes carry its format) after the
// bytes [start, start + count) were put in: new bytes that continue a paragraph
// take its format up to their first newline, and old bytes after them that now
// continue the last new paragraph take that one's. Appending costs nothing
// extra; an edit inside a paragraph costs the rest of that paragraph.
void RichText::keepParagraphFormat(size_t start, size_t count) {
    size_t end = start + count;
    if (start > 0 && m_text[start - 1] != '\n') {
        size_t stop = m_text.find('\n', start);
        setParagraphRange(start, std::min(end, stop == std::string::npos ? end : stop + 1),
                          styleAt(start - 1).para);
    }
    if (end > 0 && end < m_text.size() && m_text[end - 1] != '\n') {
        size_t stop = m_text.find('\n', end);
        setParagraphRange(end, stop == std::string::npos ? m_text.size() : stop + 1,
                          styleAt(end - 1).para);
    }
}

void RichText::setParagraphRange(size_t from, size_t to, const ParagraphFormat& para) {
    for (size_t i = from; i < to; ++i) {
        if (styleAt(i).para == para) continue;
        Style s = styleAt(i);
        s.para = para;
        m_styleOf[i] = intern(s);
    }
}

std::vector<uint32_t> RichText::adopt(const RichText& from, size_t start, size_t count) {
    std::map<uint32_t, uint32_t> mapped;
    std::vector<uint32_t> styles;
    styles.reserve(count);
    for (size_t i = start; i < start + count; ++i) {
        uint32_t theirs = from.m_styleOf[i];
        auto it = mapped.find(theirs);
        if (it == mapped.end() || from.m_styles[theirs].cell >= 0) {
            Style s = from.m_styles[theirs];
            if (s.cell >= 0) {
                m_cells.push_back(from.m_cells[static_cast<size_t>(s.cell)]);
                s.cell = static_cast<int>(m_cells.size() - 1);
            }
            it = mapped.insert_or_assign(theirs, intern(s)).first;
        }
        styles.push_back(it->second);
    }
    return styles;
}

void RichText::replace(size_t start, size_t count, std::string_view text, const CharFormat& chr,
                       const ParagraphFormat& para) {
    uint32_t style = intern(Style{chr, para, -1});
    splice(start, count, text, std::vector<uint32_t>(text.size(), style));
}

void RichText::replace(size_t start, size_t count, const RichText& other) {
    std::vector<uint32_t> styles = adopt(other, 0, other.length());
    splice(start, count, other.m_text, std::move(styles));
}

void RichText::replaceWithAttachment(size_t start, size_t count, const Attachment& cell,
                                     const CharFormat& chr, const ParagraphFormat& para) {
    m_cells.push_back(cell);
    uint32_t style = intern(Style{chr, para, static_cast<int>(m_cells.size() - 1)});
    splice(start, count, std::string_view(&kAttachmentChar, 1), {style});
}

void RichText::erase(size_t start, size_t count) { splice(start, count, {}, {}); }

void RichText::clear() { *this = RichText(); }

RichText RichText::slice(size_t start, size_t count) const {
    start = std::min(start, m_text.size());
    count = std::min(count, m_text.size() - start);
    RichText out;
    out.m_text = m_text.substr(start, count);
    out.m_styleOf = out.adopt(*this, start, count);
    out.m_margins = m_margins;
    return out;
}

const CharFormat& RichText::charFormatAt(size_t index) const {
    if (m_text.empty()) return kDefaultChar;
    return styleAt(std::min(index, m_text.size() - 1)).chr;
}

ParagraphFormat RichText::paragraphFormatAt(size_t index) const {
    if (index < m_text.size()) return styleAt(index).para;
    if (!m_text.empty() && m_text.back() != '\n') return styleAt(m_text.size() - 1).para;
    return kDefaultParagraph;  // the empty paragraph after a final newline
}

const Attachment* RichText::attachmentAt(size_t index) const {
    if (index >= m_text.size()) return nullptr;
    int cell = styleAt(index).cell;
    return cell < 0 ? nullptr : &m_cells[static_cast<size_t>(cell)];
}

std::string RichText::textWithCells(const CellText& cellText) const {
    std::string out;
    out.reserve(m_text.size());
    for (size_t i = 0; i < m_text.size(); ++i) {
        const Attachment* cell = m_text[i] == kAttachmentChar ? attachmentAt(i) : nullptr;
        if (cell)
            cellText(out, *cell, i);
        else
            out += m_text[i];
    }
    return out;
}

void RichText::changeCharFormat(size_t start, size_t count,
                                const std::function<void(CharFormat&)>& edit) {
    size_t end = std::min(m_text.size(), start + std::min(count, m_text.size()));
    for (size_t i = std::min(start, end); i < end; ++i) {
        Style s = styleAt(i);
        edit(s.chr);
        m_styleOf[i] = intern(s);
    }
}

void RichText::changeParagraphFormat(size_t start, size_t count,
                                     const std::function<void(ParagraphFormat&)>& edit) {
    if (m_text.empty()) return;
    start = std::min(start, m_text.size());
    size_t last = count == 0 ? start : std::min(m_text.size(), start + count) - 1;
    size_t end = paragraphEnd(last);
    for (size_t p = paragraphStart(start); p < end;) {
        size_t pe = paragraphEnd(p);
        ParagraphFormat para = styleAt(p).para;
        edit(para);
        setParagraphRange(p, pe, para);
        p = pe;
    }
}

std::vector<RichText::Run> RichText::runs(size_t start, size_t count) const {
    std::vector<Run> out;
    start = std::min(start, m_text.size());
    size_t end = start + std::min(count, m_text.size() - start);
    for (size_t i = start; i < end;) {
        const Style& s = styleAt(i);
        size_t j = i + 1;
        if (s.cell < 0) {
            while (j < end && styleAt(j).cell < 0 && styleAt(j).chr == s.chr) ++j;
        }
        out.push_back(Run{i, std::string_view(m_text).substr(i, j - i), &s.chr, attachmentAt(i)});
        i = j;
    }
    return out;
}

std::vector<RichText::Paragraph> RichText::paragraphs() const {
    std::vector<Paragraph> out;
    for (size_t p = 0; p < m_text.size();) {
        size_t pe = paragraphEnd(p);
        out.push_back(Paragraph{p, pe - p, &styleAt(p).para});
        p = pe;
    }
    return out;
}

std::vector<const Attachment*> RichText::attachments() const {
    std::vector<const Attachment*> out;
    for (size_t i = 0; i < m_text.size(); ++i) {
        if (const Attachment* cell = attachmentAt(i)) out.push_back(cell);
    }
    return out;
}

void RichText::editAttachments(const std::function<void(Attachment&)>& edit) {
    for (Attachment& cell : m_cells) edit(cell);
}

bool RichText::hasFormattingOtherThan(const CharFormat& base) const {
    return std::any_of(m_styleOf.begin(), m_styleOf.end(), [&](uint32_t index) {
        const Style& s = m_styles[index];
        return s.chr != base || s.para != kDefaultParagraph;
    });
}

namespace {

std::string describeParagraph(const ParagraphFormat& p) {
    static const char* const kNames[] = {"left", "right", "center", "justified"};
    std::string out = "<";
    out += p.alignment >= 0 && p.alignment < 4 ? kNames[p.alignment] : "?";
    if (p.firstIndent != 0.0f || p.indent != 0.0f) {
        out += formatString(" fi%g li%g", double(p.firstIndent), double(p.indent));
    }
    return out + ">";
}

std::string describeChar(const CharFormat& f) {
    std::string out;
    if (f.traits & kBoldTrait) out += " b";
    if (f.traits & kItalicTrait) out += " i";
    if (f.traits & kUnderlineTrait) out += " u";
    if (f.size != kDefaultChar.size) out += formatString(" s%g", double(f.size));
    if (f.baseline != 0.0f) out += formatString(" %+g", double(f.baseline));
    if (f.font != kDefaultChar.font) out += " f=" + f.font;
    return out.empty() ? out : out.substr(1);
}

}  // namespace

std::string RichText::describe() const {
    std::string out;
    for (const Paragraph& p : paragraphs()) {
        if (*p.format != kDefaultParagraph) out += describeParagraph(*p.format);
        for (const Run& run : runs(p.start, p.length)) {
            if (run.attachment) {
                out += "[" + run.attachment->name + "]";
                continue;
            }
            std::string format = describeChar(*run.format);
            std::string text(run.text);
            out += format.empty() ? text : "{" + format + "|" + text + "}";
        }
    }
    return out;
}

RichText RichText::inEncoding(bool utf8) const {
    if (utf8 == m_utf8) return *this;
    RichText out;
    out.m_utf8 = utf8;
    out.m_margins = m_margins;
    for (const Run& run : runs()) {
        ParagraphFormat para = paragraphFormatAt(run.start);
        if (run.attachment)
            out.replaceWithAttachment(out.length(), 0, *run.attachment, *run.format, para);
        else
            out.append(utf8 ? latin1ToUtf8(run.text) : utf8ToLatin1(run.text), *run.format, para);
    }
    return out;
}

bool RichText::operator==(const RichText& other) const {
    if (m_text != other.m_text || m_margins != other.m_margins || m_utf8 != other.m_utf8)
        return false;
    for (size_t i = 0; i < m_text.size(); ++i) {
        const Style& a = styleAt(i);
        const Style& b = other.styleAt(i);
        if (a.chr != b.chr || a.para != b.para) return false;
        const Attachment* ca = attachmentAt(i);
        const Attachment* cb = other.attachmentAt(i);
        if ((ca == nullptr) != (cb == nullptr) || (ca && *ca != *cb)) return false;
    }
    return true;
}

}  // namespace quill

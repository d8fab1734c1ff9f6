#include "richtext/TextView.h"

#include <algorithm>
#include <optional>

#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

namespace quill {
namespace {

std::string lastComponent(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

TextView::TextView() : m_typing(m_base) {}

std::string TextView::selectedText() const {
    return m_text.plainText().substr(m_selStart, m_selEnd - m_selStart);
}

std::string TextView::rtf() const { return RtfWriter::write(m_text); }

void TextView::selectAll() {
    m_selStart = 0;
    m_selEnd = m_text.length();
}

void TextView::setSel(size_t start, size_t end) {
    if (start > end) std::swap(start, end);
    m_selStart = std::min(start, m_text.length());
    m_selEnd = std::min(end, m_text.length());
    if (m_selStart == m_selEnd && m_selStart > 0 && !m_text.attachmentAt(m_selStart - 1)) {
        m_typing = m_text.charFormatAt(m_selStart - 1);
    }
}

void TextView::afterInsert(size_t start, size_t length) {
    m_selStart = m_selEnd = start + length;
    changed();
}

void TextView::replaceSel(std::string_view bytes) {
    size_t start = m_selStart;
    if (m_plain) {
        m_text.replace(start, m_selEnd - start, bytes, m_base, ParagraphFormat());
    } else {
        m_text.replace(start, m_selEnd - start, bytes, m_typing, m_typingParagraph);
    }
    afterInsert(start, bytes.size());
}

bool TextView::replaceSelWithRTF(std::string_view rtf) {
    std::optional<RichText> document = RtfReader::read(rtf, m_base);
    if (!document) return false;
    replaceSelWithDocument(*document);
    return true;
}

bool TextView::replaceSelWithFile(const std::string& path) {
    if (path.empty()) return false;
    if (m_plain) {
        replaceSel(path);
        return true;
    }
    Attachment cell;
    cell.name = lastComponent(path);
    cell.path = path;
    size_t start = m_selStart;
    m_text.replaceWithAttachment(start, m_selEnd - start, cell, m_typing, m_typingParagraph);
    afterInsert(start, 1);
    return true;
}

void TextView::replaceSelWithAttachment(const std::string& name,
                                        std::shared_ptr<const AttachmentBody> body) {
    if (m_plain) {
        replaceSel(name);
        return;
    }
    Attachment cell;
    cell.name = name;
    cell.body = std::move(body);
    size_t start = m_selStart;
    m_text.replaceWithAttachment(start, m_selEnd - start, cell, m_typing, m_typingParagraph);
    afterInsert(start, 1);
}

void TextView::replaceSelWithDocument(const RichText& document) {
    if (document.isUtf8() != isUtf8()) return replaceSelWithDocument(document.inEncoding(isUtf8()));
    if (m_plain) {
        replaceSel(document.plainText());
        return;
    }
    size_t start = m_selStart;
    m_text.replace(start, m_selEnd - start, document);
    afterInsert(start, document.length());
}

void TextView::clear() {
    Margins margins = m_text.margins();
    bool utf8 = isUtf8();
    m_text.clear();
    m_text.setMargins(margins);
    m_text.setUtf8(utf8);
    m_selStart = m_selEnd = 0;
    changed();
}

void TextView::setUtf8(bool utf8) {
    if (utf8 == isUtf8()) return;
    m_text = m_text.inEncoding(utf8);
    m_selStart = m_selEnd = m_text.length();
    changed();
}

void TextView::changeSelection(const std::function<void(CharFormat&)>& edit) {
    if (m_plain) return;
    edit(m_typing);
    if (m_selEnd > m_selStart) {
        m_text.changeCharFormat(m_selStart, m_selEnd - m_selStart, edit);
        changed();
    }
}

void TextView::changeParagraphs(const std::function<void(ParagraphFormat&)>& edit) {
    if (m_plain) return;
    edit(m_typingParagraph);
    if (m_selEnd > m_selStart) {
        m_text.changeParagraphFormat(m_selStart, m_selEnd - m_selStart, edit);
        changed();
    }
}

void TextView::setFontTraits(unsigned traits, unsigned mask) {
    changeSelection([=](CharFormat& f) { f.traits = (f.traits & ~mask) | (traits & mask); });
}

void TextView::toggleFontTraits(unsigned bits) {
    changeSelection([=](CharFormat& f) { f.traits ^= bits; });
}

void TextView::setFontSize(float points) {
    changeSelection([=](CharFormat& f) { f.size = points; });
}

void TextView::setFontName(const std::string& name) {
    changeSelection([&](CharFormat& f) { f.font = name; });
}

void TextView::setAlignment(int alignment) {
    changeParagraphs([=](ParagraphFormat& p) { p.alignment = alignment; });
}

void TextView::setIndents(float firstLine, float following) {
    changeParagraphs([=](ParagraphFormat& p) {
        p.firstIndent = firstLine;
        p.indent = following;
    });
}

void TextView::setMargins(float left, float right, float top, float bottom) {
    m_text.setMargins(Margins{left, right, top, bottom});
    changed();
}

void TextView::subscript() {
    changeSelection([](CharFormat& f) { f.baseline -= f.size / 3.0f; });
}

void TextView::superscript() {
    changeSelection([](CharFormat& f) { f.baseline += f.size / 3.0f; });
}

void TextView::unscript() {
    changeSelection([](CharFormat& f) { f.baseline = 0.0f; });
}

void TextView::setPlainMode(bool plain) {
    m_plain = plain;
    if (!plain) return;
    m_typing = m_base;
    m_typingParagraph = ParagraphFormat();
    if (m_text.empty()) return;
    m_text.changeCharFormat(0, m_text.length(), [&](CharFormat& f) { f = m_base; });
    m_text.setParagraphFormat(0, m_text.length(), ParagraphFormat());
    changed();
}

void TextView::setBaseFormat(const CharFormat& base) {
    m_base = base;
    if (m_plain || m_text.empty()) m_typing = base;
}

bool TextView::hasGraphics() const {
    std::vector<const Attachment*> cells = m_text.attachments();
    return std::any_of(cells.begin(), cells.end(), [](const Attachment* a) { return a->isFile(); });
}

void TextView::endUpdates() {
    if (m_updateDepth > 0) --m_updateDepth;
    if (m_updateDepth == 0) changed();
}

void TextView::changed() { ++m_revision; }

}  // namespace quill

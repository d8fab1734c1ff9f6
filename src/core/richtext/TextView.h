// TextView: the rich-text view the message classes render into and read from,
// without a window. It holds a RichText, a selection and the typing format:
// every formatting operation changes the selected text (when something is
// selected) and the format of text inserted from then on. The Qt layer shows
// a TextView's RichText; the core only ever talks to this class.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "richtext/RichText.h"

namespace quill {

class TextView {
  public:
    TextView();
    virtual ~TextView() = default;
    TextView(const TextView&) = default;
    TextView& operator=(const TextView&) = default;

    const RichText& richText() const { return m_text; }
    // The whole text as bytes; each cell is one 0xAC byte.
    const std::string& plainText() const { return m_text.plainText(); }
    size_t textLength() const { return m_text.length(); }
    std::string selectedText() const;
    // The whole document as RTF (platform attachment form).
    std::string rtf() const;

    // Selection. An empty selection after ordinary text takes that text's
    // character format as the typing format.
    void selectAll();
    void setSel(size_t start, size_t end);
    size_t selStart() const { return m_selStart; }
    size_t selEnd() const { return m_selEnd; }

    // Replacing the selection; afterwards the selection is empty, just after
    // what was inserted.
    void replaceSel(std::string_view bytes);
    // RTF data; false (and nothing changed) when the data is not RTF. In plain
    // mode only the characters go in.
    bool replaceSelWithRTF(std::string_view rtf);
    // The file as an attachment icon (its name is the path's last component);
    // in plain mode the path name itself. False when the path is empty.
    bool replaceSelWithFile(const std::string& path);
    // An icon named `name` for a file not written yet (plain mode shows the name).
    void replaceSelWithAttachment(const std::string& name,
                                  std::shared_ptr<const AttachmentBody> body);
    // A whole document (text, formats and attached files), converted to this
    // view's encoding.
    void replaceSelWithDocument(const RichText& document);
    // Everything other shows.
    void replaceSelWithView(const TextView& other) { replaceSelWithDocument(other.m_text); }
    // Removes everything but the margins and the encoding.
    void clear();
    // Whether the view holds UTF-8 (the Unicode display) instead of ISO 8859-1;
    // changing it converts the text and puts the selection at the end.
    bool isUtf8() const { return m_text.isUtf8(); }
    void setUtf8(bool utf8);

    // Typing format and formatting of the selection.
    unsigned fontTraits() const { return m_typing.traits; }
    void setFontTraits(unsigned traits) { setFontTraits(traits, ~0u); }
    // Sets the bits of traits that are in mask and keeps the others.
    void setFontTraits(unsigned traits, unsigned mask);
    // Flips the bits in every byte of the selection (italic becomes upright
    // where it was italic) and in the typing format.
    void toggleFontTraits(unsigned bits);
    float fontSize() const { return m_typing.size; }
    void setFontSize(float points);
    const std::string& fontName() const { return m_typing.font; }
    void setFontName(const std::string& name);
    const CharFormat& typingFormat() const { return m_typing; }

    // Paragraph format: applies to the paragraphs the selection covers and to
    // paragraphs begun by text inserted afterwards.
    int alignment() const { return m_typingParagraph.alignment; }
    void setAlignment(int alignment);
    // First-line and following-line indents, in points.
    void setIndents(float firstLine, float following);
    const ParagraphFormat& typingParagraphFormat() const { return m_typingParagraph; }

    void setMargins(float left, float right, float top, float bottom);
    const Margins& margins() const { return m_text.margins(); }

    // Baseline: lowered (subscript) or raised (superscript) by a third of the
    // font size each time, or restored.
    void subscript();
    void superscript();
    void unscript();

    // Plain mode holds only characters in the base format: formatting
    // operations do nothing and files go in as path names. Switching to plain
    // mode drops the formatting that is there.
    void setPlainMode(bool plain);
    bool isPlainMode() const { return m_plain; }
    // The format plain text and new views start from (the message font).
    void setBaseFormat(const CharFormat& base);
    const CharFormat& baseFormat() const { return m_base; }

    // Whether the text has fonts or styles other than the base format, and
    // whether it holds attached files.
    bool hasFormatting() const { return m_text.hasFormattingOtherThan(m_base); }
    bool hasGraphics() const;

    // Bracket a long series of changes (a whole message being read); a shown
    // view redisplays when the outermost bracket ends.
    void beginUpdates() { ++m_updateDepth; }
    void endUpdates();
    bool isUpdating() const { return m_updateDepth > 0; }
    // Counts finished changes; the window layer compares it to know when to redisplay.
    unsigned long revision() const { return m_revision; }

  private:
    void changed();
    void changeSelection(const std::function<void(CharFormat&)>& edit);
    void changeParagraphs(const std::function<void(ParagraphFormat&)>& edit);
    void afterInsert(size_t start, size_t length);

    RichText m_text;
    size_t m_selStart = 0;
    size_t m_selEnd = 0;
    CharFormat m_base;
    CharFormat m_typing;
    ParagraphFormat m_typingParagraph;
    bool m_plain = false;
    int m_updateDepth = 0;
    unsigned long m_revision = 0;
};

}  // namespace quill

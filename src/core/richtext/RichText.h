// RichText: the formatted text that message views show and that the rich-text
// formats read and write. The text is bytes in ISO 8859-1; every byte carries
// its character format (font, size, traits, baseline shift) and a paragraph
// format (alignment, indents). An attached file is a cell that stands in the
// text as the single byte 0xAC and carries the file's name and path.
//
// A paragraph is the text up to and including a newline, and all its bytes
// carry the same paragraph format. Text inserted where a paragraph already has
// bytes before the insertion point takes that paragraph's format, so giving
// new text a paragraph format never reformats a paragraph that has text;
// whole-range operations set every byte of the paragraphs they touch.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class AttachmentBody;

// The byte an attachment cell occupies in the plain text.
inline constexpr char kAttachmentChar = '\xAC';

// Font traits, a bit set.
inline constexpr unsigned kItalicTrait = 1;
inline constexpr unsigned kBoldTrait = 2;
inline constexpr unsigned kUnderlineTrait = 0x8000000;

// Paragraph alignment types.
inline constexpr int kAlignLeft = 0;
inline constexpr int kAlignRight = 1;
inline constexpr int kAlignCenter = 2;
inline constexpr int kAlignJustified = 3;

struct CharFormat {
    std::string font = "Helvetica";
    float size = 12.0f;
    unsigned traits = 0;
    float baseline = 0.0f;  // points; positive raises the text, negative lowers it
    auto operator<=>(const CharFormat&) const = default;
};

struct ParagraphFormat {
    int alignment = kAlignLeft;
    float firstIndent = 0.0f;  // points, first line of the paragraph
    float indent = 0.0f;       // points, following lines
    auto operator<=>(const ParagraphFormat&) const = default;
};

// A cell in the text. Attached files use the directive "ZellGraphic"; other
// cells (such as link buttons) name their own directive and keep their content
// in name.
struct Attachment {
    std::string directive = "ZellGraphic";
    std::string name;  // the file's name inside its document
    std::string path;  // where the file is now; empty when not known
    int width = 0;     // icon size in twips, as stored in RTF
    int height = 0;
    // The bytes of a file not written yet (path empty until it is).
    std::shared_ptr<const AttachmentBody> body;
    bool isFile() const { return directive == "ZellGraphic"; }
    auto operator<=>(const Attachment&) const = default;
};

// Page margins in points.
struct Margins {
    float left = 0.0f;
    float right = 0.0f;
    float top = 0.0f;
    float bottom = 0.0f;
    auto operator<=>(const Margins&) const = default;
};

class RichText {
  public:
    // A stretch of bytes with one character format; an attachment cell is a run of its own.
    struct Run {
        size_t start;
        std::string_view text;
        const CharFormat* format;
        const Attachment* attachment;  // null for ordinary text
    };
    // A paragraph: length includes its newline, when it has one.
    struct Paragraph {
        size_t start;
        size_t length;
        const ParagraphFormat* format;
    };

    const std::string& plainText() const { return m_text; }
    size_t length() const { return m_text.size(); }
    bool empty() const { return m_text.empty(); }

    // Replaces the bytes [start, start + count) by text in the given formats.
    // Text inserted into a paragraph that already has bytes before start keeps
    // that paragraph's format up to its first newline.
    void replace(size_t start, size_t count, std::string_view text, const CharFormat& chr,
                 const ParagraphFormat& para);
    // Replaces [start, start + count) by a whole other rich text, formats and cells included.
    void replace(size_t start, size_t count, const RichText& other);
    // Replaces [start, start + count) by one attachment cell.
    void replaceWithAttachment(size_t start, size_t count, const Attachment& cell,
                               const CharFormat& chr, const ParagraphFormat& para);
    void append(std::string_view text, const CharFormat& chr, const ParagraphFormat& para) {
        replace(length(), 0, text, chr, para);
    }
    void erase(size_t start, size_t count);
    void clear();
    RichText slice(size_t start, size_t count) const;

    const CharFormat& charFormatAt(size_t index) const;
    // The format of the paragraph holding index (a position at the very end
    // belongs to the last paragraph).
    ParagraphFormat paragraphFormatAt(size_t index) const;
    const Attachment* attachmentAt(size_t index) const;
    // The plain text with each cell's byte replaced by what cellText appends
    // for it to the text so far (index: where the cell stands).
    using CellText = std::function<void(std::string& out, const Attachment& cell, size_t index)>;
    std::string textWithCells(const CellText& cellText) const;

    // Changes the character format of every byte in the range.
    void changeCharFormat(size_t start, size_t count, const std::function<void(CharFormat&)>& edit);
    // Changes the format of every paragraph the range touches (an empty range
    // touches the paragraph it lies in).
    void changeParagraphFormat(size_t start, size_t count,
                               const std::function<void(ParagraphFormat&)>& edit);
    // Sets every paragraph format of the range to format.
    void setParagraphFormat(size_t start, size_t count, const ParagraphFormat& format) {
        changeParagraphFormat(start, count, [&](ParagraphFormat& f) { f = format; });
    }

    // The runs of [start, start + count), cut at format changes and around cells.
    std::vector<Run> runs(size_t start = 0, size_t count = std::string::npos) const;
    std::vector<Paragraph> paragraphs() const;
    // The cells in text order.
    std::vector<const Attachment*> attachments() const;
    // Lets edit change every cell (to say where its file now lies, say).
    void editAttachments(const std::function<void(Attachment&)>& edit);
    // True when some byte's format differs from base, or some paragraph from the default.
    bool hasFormattingOtherThan(const CharFormat& base) const;

    const Margins& margins() const { return m_margins; }
    void setMargins(const Margins& margins) { m_margins = margins; }

    // Whether the bytes are UTF-8 rather than ISO 8859-1. UTF-8 text is made
    // only to be shown; nothing Quill writes comes from it.
    bool isUtf8() const { return m_utf8; }
    void setUtf8(bool utf8) { m_utf8 = utf8; }
    // The same text, formats and cells in the other encoding (characters
    // that ISO 8859-1 lacks become "?").
    RichText inEncoding(bool utf8) const;

    // A compact description for diagnostics and tests: a paragraph with a
    // format of its own starts "<center fi36 li36>", a run with a format other
    // than the default reads "{b i u s14 +4 f=Courier|text}", a cell "[name]"
    // whatever its format.
    std::string describe() const;

    // Same bytes, same formats, same cells, same margins, same encoding.
    bool operator==(const RichText& other) const;

  private:
    struct Style {
        CharFormat chr;
        ParagraphFormat para;
        int cell = -1;  // index into m_cells
        auto operator<=>(const Style&) const = default;
    };

    uint32_t intern(const Style& style);
    const Style& styleAt(size_t index) const { return m_styles[m_styleOf[index]]; }
    size_t paragraphStart(size_t index) const;
    size_t paragraphEnd(size_t index) const;
    void splice(size_t start, size_t count, std::string_view text, std::vector<uint32_t> styles);
    void keepParagraphFormat(size_t start, size_t count);
    void setParagraphRange(size_t from, size_t to, const ParagraphFormat& para);
    // Styles of from's bytes [start, start + count), re-interned here with their cells copied.
    std::vector<uint32_t> adopt(const RichText& from, size_t start, size_t count);

    std::string m_text;
    std::vector<uint32_t> m_styleOf;  // one style per byte of m_text
    // A deque, so a style never moves once interned: formats handed out by
    // reference (runs, paragraphs, a paragraph's format being copied onto the
    // next bytes) stay valid while edits add styles.
    std::deque<Style> m_styles;
    std::map<Style, uint32_t> m_styleIndex;
    std::vector<Attachment> m_cells;
    Margins m_margins;
    bool m_utf8 = false;
};

}  // namespace quill

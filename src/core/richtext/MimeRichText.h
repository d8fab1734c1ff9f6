// MimeRichText: a text view that reads the body of a text/enriched or
// text/richtext part into formatted text. Both subtypes share one command
// interpreter (a table of the known commands, each with a start and an end
// effect) and differ only in how line ends between commands are treated.
// Nothing in the input stops a read; problems are reported as diagnostics.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "richtext/TextView.h"

namespace quill {

class MimeRichText : public TextView {
  public:
    // The reader over one body, fed to readCommand.
    struct Stream {
        std::string_view data;
        size_t pos = 0;
        bool atEnd() const { return pos >= data.size(); }
    };
    using CommandHandler = void (MimeRichText::*)(bool start);

    MimeRichText& readMimeEnriched(std::string_view data);
    MimeRichText& readMimeRichText(std::string_view data);

    // Resets the view and the reader state.
    void initMime();
    // Reads a command after its "<": up to ">" or "<" or the end, at most 40
    // characters kept; "<<" reads as "lt".
    std::string readCommand(Stream& stream);
    // Runs a command (a leading "/" makes it an end); true for a start.
    bool execCommand(const std::string& command);

    void rtBold(bool start) { rtSetFontStyle(start, kBoldTrait); }
    void rtItalic(bool start) { rtSetFontStyle(start, kItalicTrait); }
    void rtUnderline(bool start) { rtSetFontStyle(start, kUnderlineTrait); }
    void rtSmaller(bool start) { changeSize(start ? -2.0f : 2.0f); }
    void rtBigger(bool start) { changeSize(start ? 2.0f : -2.0f); }
    void rtCenter(bool start) { rtSetJustification(start, kAlignCenter); }
    void rtFlushLeft(bool start) { rtSetJustification(start, kAlignLeft); }
    void rtFlushRight(bool start) { rtSetJustification(start, kAlignRight); }
    void rtIndent(bool start) { blockCommand(start, m_mimeIndentLevel, "indent", 1.0f); }
    void rtOutdent(bool start) { blockCommand(start, m_mimeOutdentLevel, "outdent", -1.0f); }
    void rtExcerpt(bool start);
    void rtParagraph(bool start);
    void rtComment(bool start) { m_mimeInsideComment = start; }
    void rtLt(bool start);
    void rtNl(bool start);
    void rtNp(bool start);
    void rtNoFill(bool start) { m_mimeNoFill = start; }
    void rtSubscript(bool start);
    void rtSuperscript(bool start);
    void rtNothing(bool) {}
    void rtSetFontStyle(bool start, unsigned trait);
    void rtSetJustification(bool start, int type);

    void mismatchError(const std::string& name);
    void overflowError(const std::string& name);
    void expectError(const std::string& expected, const std::string& found);
    static std::string fontStyleName(unsigned trait);
    static std::string justificationStringFor(int type);

  private:
    enum class LineEnds { Enriched, RichText };

    MimeRichText& read(std::string_view data, LineEnds mode);
    void plainChar(char c, LineEnds mode);
    void enrichedNewline();
    void richTextNewline();
    void putChar(char c);
    void flushPending();
    void lineBreak();
    void endOfBlockBreak();
    void changeSize(float delta);
    void blockCommand(bool start, int& level, const char* name, float sign);

    static constexpr int kStackDepth = 100;
    static constexpr size_t kPendingLimit = 99;

    int m_mimeFontTraits = 0;
    float m_mimeFontSize = 12.0f;
    bool m_mimeUnderlining = false;
    bool m_mimeInsideComment = false;
    std::array<unsigned, kStackDepth> m_mimeFontStack{};
    int m_mimeFontSP = 0;
    std::array<int, kStackDepth> m_mimeJustificationStack{};
    int m_mimeJustificationSP = 0;
    float m_mimeIndentStep = 3.0f;
    int m_mimeIndentLevel = 0;
    int m_mimeOutdentLevel = 0;
    int m_mimeExcerptLevel = 0;
    std::string m_mimeTmpBuf;
    char m_mimeLastc = '\n';
    bool m_mimeEatOneNl = false;
    bool m_mimeNoFill = false;
    int m_newlines = 0;           // enriched: newlines in the current run
    bool m_blankPending = false;  // richtext: a newline waits to become a blank
};

}  // namespace quill

// RTFEnrichedConverter: the RTF of a composed rich text as text/enriched.
// It reads the RTF as tokens, keeps what the RTF asks for (bold, italic,
// underline, size, alignment) apart from what the enriched output has open,
// and before each piece of text emits the commands that bring the output in
// line. Attached files are handed to a delegate (the MIME encoder), which
// turns each into a body part of its own, cutting the enriched text there.
// Link buttons give no text: their URL stands beside them already.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/ByteSource.h"

namespace quill {

class RTFEnrichedConverter {
  public:
    class Delegate {
      public:
        virtual ~Delegate() = default;
        // Called for an attachment group with the input just after the
        // control word; it may read on in the group and take the output so
        // far. True when it handled the group.
        virtual bool rtfCommand(std::string_view word, int arg, ByteSource& input,
                                std::string& output) = 0;
    };

    static constexpr int kNoArgument = -9999999;

    // The base size is twice this, in half-points (12.0 unless changed).
    static float defaultFontSize();
    static void setDefaultFontSize(float points);

    void setDelegate(Delegate* delegate) { myDelegate = delegate; }
    Delegate* delegate() const { return myDelegate; }
    // Appends the enriched text to output. A converter serves one conversion.
    void convertFrom(ByteSource& input, std::string& output);

  private:
    struct State {
        bool bold = false;
        bool italic = false;
        bool underline = false;
        int justification = 0;  // 0 none, 1 flush left, 2 centre, 3 flush right
        int unused = 0;
        int size = 0;  // half-points relative to the base
        bool operator==(const State&) const = default;
    };
    enum class Token { End, Text, Backslash, Open, Close, AttachmentChar };

    Token readToken(std::string_view& text);
    std::string readCommandAndArg(int& arg);
    void processRtfBlock(int depth);
    void processControlWord(const std::string& word, int arg);
    bool processControlSymbol();
    void copyRtfBlock();
    void attachmentGroup(const std::string& word, int arg);
    void effectuateState();
    bool effectuateJustification();
    bool effectuateSize();
    bool pushCommand(const char* name);
    void popCommand(const char* name);
    bool pushOrPopCommand(const char* name, bool on);
    void noteCommand(std::string_view name);
    void emitCommand(std::string_view name, bool begin);
    void emitText(std::string_view text);
    void emitNewline();
    int peek() const;

    int myBaseFontSize = 0;
    int myFontSizeChanges = 0;
    State myRtfState;
    State myEnrState;
    std::vector<std::string> myEnrichedStack;
    ByteSource* myInput = nullptr;
    std::string* myOutput = nullptr;
    bool myLastWasNewline = true;
    Delegate* myDelegate = nullptr;
};

}  // namespace quill

#include "richtext/RTFEnrichedConverter.h"

#include "base/ascii.h"

namespace quill {

namespace {

// The enriched commands of each justification; 0 has none.
constexpr const char* kJustification[] = {nullptr, "flushleft", "center", "flushright"};
// The sentinel plus this many open commands.
constexpr size_t kStackSize = 1000;
// Groups nested deeper are skipped rather than recursed into.
constexpr int kMaxGroupDepth = 256;
constexpr size_t kMaxWordLength = 32;

float& defaultSize() {
    static float size = 12.0f;
    return size;
}

bool isWhite(int c) { return c >= 0 && isSpace(static_cast<char>(c)); }

}  // namespace

float RTFEnrichedConverter::defaultFontSize() { return defaultSize(); }
void RTFEnrichedConverter::setDefaultFontSize(float points) { defaultSize() = points; }

int RTFEnrichedConverter::peek() const {
    std::string_view rest = myInput->remaining();
    return rest.empty() ? -1 : static_cast<unsigned char>(rest[0]);
}

void RTFEnrichedConverter::convertFrom(ByteSource& input, std::string& output) {
    myInput = &input;
    myOutput = &output;
    myBaseFontSize = static_cast<int>(defaultFontSize() * 2.0f);
    myFontSizeChanges = 0;
    myRtfState = State();
    myEnrState = State();
    myEnrichedStack.assign(1, std::string());
    std::string_view text;
    if (readToken(text) == Token::Open) processRtfBlock(0);
    myRtfState = State();
    effectuateState();
}

RTFEnrichedConverter::Token RTFEnrichedConverter::readToken(std::string_view& text) {
    std::string_view rest = myInput->remaining();
    size_t n = 0;
    while (n < rest.size() && rest[n] != '\\' && rest[n] != '{' && rest[n] != '}' &&
           rest[n] != '\xAC')
        ++n;
    if (n > 0) {
        text = rest.substr(0, n);
        myInput->seek(myInput->position() + n);
        return Token::Text;
    }
    if (rest.empty()) return Token::End;
    myInput->seek(myInput->position() + 1);
    switch (rest[0]) {
        case '\\':
            return Token::Backslash;
        case '{':
            return Token::Open;
        case '}':
            return Token::Close;
        default:
            return Token::AttachmentChar;
    }
}

std::string RTFEnrichedConverter::readCommandAndArg(int& arg) {
    arg = kNoArgument;
    std::string word;
    auto advance = [&] { myInput->seek(myInput->position() + 1); };
    while (isAlpha(static_cast<char>(peek()))) {
        if (word.size() < kMaxWordLength) word += static_cast<char>(peek());
        advance();
    }
    int c = peek();
    if (isWhite(c)) {
        if (word.empty()) word = static_cast<char>(c);
        advance();
    } else if (isDigit(static_cast<char>(c)) || c == '-') {
        bool negative = c == '-';
        if (negative) advance();
        long value = 0;
        while (isDigit(static_cast<char>(peek()))) {
            if (value < 100000000) value = value * 10 + (peek() - '0');
            advance();
        }
        arg = static_cast<int>(negative ? -value : value);
        if (isWhite(peek())) advance();
    }
    return word;
}

void RTFEnrichedConverter::processRtfBlock(int depth) {
    for (;;) {
        std::string_view text;
        switch (readToken(text)) {
            case Token::End:
            case Token::Close:
                return;
            case Token::Open:
                if (depth >= kMaxGroupDepth) {
                    copyRtfBlock();
                } else {
                    State saved = myRtfState;
                    processRtfBlock(depth + 1);
                    myRtfState = saved;
                }
                break;
            case Token::AttachmentChar:
                break;
            case Token::Text:
                effectuateState();
                emitText(text);
                break;
            case Token::Backslash: {
                int arg;
                std::string word = readCommandAndArg(arg);
                if (!word.empty() || !processControlSymbol()) processControlWord(word, arg);
                break;
            }
        }
    }
}

// Escaped braces and backslashes and \'hh bytes are text: the encoder wants
// the characters themselves.
bool RTFEnrichedConverter::processControlSymbol() {
    int c = peek();
    std::string byte;
    if (c == '\\' || c == '{' || c == '}') {
        byte = static_cast<char>(c);
        myInput->seek(myInput->position() + 1);
    } else if (c == '\'') {
        std::string_view rest = myInput->remaining();
        int high = rest.size() > 2 ? hexValue(rest[1]) : -1;
        int low = rest.size() > 2 ? hexValue(rest[2]) : -1;
        if (high < 0 || low < 0) return false;
        byte = static_cast<char>(high * 16 + low);
        myInput->seek(myInput->position() + 3);
    } else {
        return false;
    }
    effectuateState();
    emitText(byte);
    return true;
}

void RTFEnrichedConverter::processControlWord(const std::string& word, int arg) {
    bool on = arg == kNoArgument || arg != 0;
    if (word == "b") {
        myRtfState.bold = on;
    } else if (word == "i") {
        myRtfState.italic = on;
    } else if (word == "ul") {
        myRtfState.underline = true;
    } else if (word == "ulnone") {
        myRtfState.underline = false;
    } else if (word == "fs") {
        if (myBaseFontSize == 0)
            myBaseFontSize = arg;
        else
            myRtfState.size = arg - myBaseFontSize;
    } else if (word == "ql" || word == "qc" || word == "qr") {
        myRtfState.justification = word == "ql" ? 1 : word == "qc" ? 2 : 3;
    } else if (word == "\n") {
        emitNewline();
    } else if (word == "pard") {
        myRtfState = State();
    } else if (word == "attachment" || word == "ZellGraphic") {
        attachmentGroup(word, arg);
    } else if (word == "TesselURL") {
        // A link button holds its URL, which the text just after it shows already.
        copyRtfBlock();
    } else if (word == "fonttbl" || word == "colortbl") {
        copyRtfBlock();
    } else if (word == "u" && arg != kNoArgument) {
        // A character by number, then one fallback character to skip.
        effectuateState();
        emitText(std::string(1, arg >= 0 && arg < 256 ? static_cast<char>(arg) : '?'));
        int next = peek();
        if (next >= 0 && next != '\\' && next != '{' && next != '}')
            myInput->seek(myInput->position() + 1);
    } else if (word == "tab") {
        effectuateState();
        emitText("\t");
    }
}

void RTFEnrichedConverter::copyRtfBlock() {
    std::string_view rest = myInput->remaining();
    size_t close = rest.find('}');
    myInput->seek(myInput->position() +
                  (close == std::string_view::npos ? rest.size() : close + 1));
}

void RTFEnrichedConverter::attachmentGroup(const std::string& word, int arg) {
    State saved = myRtfState;
    myRtfState = State();
    effectuateState();
    if (myDelegate) {
        if (myDelegate->rtfCommand(word, arg, *myInput, *myOutput))
            myLastWasNewline = false;
        else
            copyRtfBlock();
    }
    myRtfState = saved;
}

void RTFEnrichedConverter::effectuateState() {
    for (;;) {
        bool changed = effectuateJustification();
        changed = pushOrPopCommand("bold", myRtfState.bold) || changed;
        changed = pushOrPopCommand("italic", myRtfState.italic) || changed;
        changed = pushOrPopCommand("underline", myRtfState.underline) || changed;
        changed = effectuateSize() || changed;
        if (!changed) return;
    }
}

bool RTFEnrichedConverter::effectuateJustification() {
    int want = myRtfState.justification;
    if (want == myEnrState.justification || want < 0 || want > 3) return false;
    if (const char* open = kJustification[myEnrState.justification]) popCommand(open);
    if (const char* name = kJustification[want]) return pushCommand(name);
    return true;
}

// Pushes or pops one of bold, italic and underline where the two states differ.
bool RTFEnrichedConverter::pushOrPopCommand(const char* name, bool on) {
    bool State::*flag = name[0] == 'b'   ? &State::bold
                        : name[0] == 'i' ? &State::italic
                                         : &State::underline;
    if (myEnrState.*flag == on) return false;
    if (on) return pushCommand(name);
    popCommand(name);
    return true;
}

bool RTFEnrichedConverter::effectuateSize() {
    int steps = (myRtfState.size - myEnrState.size) / 4;
    bool changed = steps != 0;
    for (; steps > 0; --steps) {
        if (myFontSizeChanges < 0)
            popCommand("smaller");
        else if (!pushCommand("bigger"))
            return false;
        ++myFontSizeChanges;
    }
    for (; steps < 0; ++steps) {
        if (myFontSizeChanges > 0)
            popCommand("bigger");
        else if (!pushCommand("smaller"))
            return false;
        --myFontSizeChanges;
    }
    return changed;
}

// False when the stack is full: the command is then neither written nor noted.
bool RTFEnrichedConverter::pushCommand(const char* name) {
    if (myEnrichedStack.size() >= kStackSize) return false;
    emitCommand(name, true);
    myEnrichedStack.emplace_back(name);
    noteCommand(name);
    return true;
}

void RTFEnrichedConverter::popCommand(const char* name) {
    while (myEnrichedStack.size() > 1) {
        std::string top = std::move(myEnrichedStack.back());
        myEnrichedStack.pop_back();
        emitCommand(top, false);
        if (top == name) break;
    }
    myEnrState = State();
    for (size_t i = 1; i < myEnrichedStack.size(); ++i) noteCommand(myEnrichedStack[i]);
}

void RTFEnrichedConverter::noteCommand(std::string_view name) {
    if (name == "bold") myEnrState.bold = true;
    if (name == "italic") myEnrState.italic = true;
    if (name == "underline") myEnrState.underline = true;
    for (int j = 1; j <= 3; ++j)
        if (name == kJustification[j]) myEnrState.justification = j;
    if (name == "smaller") myEnrState.size -= 4;
    if (name == "bigger") myEnrState.size += 4;
}

void RTFEnrichedConverter::emitCommand(std::string_view name, bool begin) {
    *myOutput += begin ? "<" : "</";
    *myOutput += name;
    *myOutput += '>';
    myLastWasNewline = false;
}

void RTFEnrichedConverter::emitText(std::string_view text) {
    for (char c : text) {
        if (c == '\n' && myLastWasNewline) continue;
        if (c == '<') *myOutput += '<';
        *myOutput += c;
        myLastWasNewline = c == '\n';
    }
}

void RTFEnrichedConverter::emitNewline() {
    if (!myLastWasNewline) *myOutput += '\n';
    *myOutput += '\n';
    myLastWasNewline = true;
}

}  // namespace quill

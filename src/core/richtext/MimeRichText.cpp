#include "richtext/MimeRichText.h"

#include "base/Diagnostics.h"
#include "base/ascii.h"

namespace quill {
namespace {

const char* const kWho = "MimeRichText";
constexpr size_t kCommandLimit = 40;

struct Command {
    const char* name;
    MimeRichText::CommandHandler handler;
};

// Searched in this order. Commands that do nothing are still known, so their
// content shows as ordinary text without a warning.
const Command kCommands[] = {
    {"bold", &MimeRichText::rtBold},
    {"italic", &MimeRichText::rtItalic},
    {"fixed", &MimeRichText::rtNothing},
    {"smaller", &MimeRichText::rtSmaller},
    {"bigger", &MimeRichText::rtBigger},
    {"underline", &MimeRichText::rtUnderline},
    {"center", &MimeRichText::rtCenter},
    {"flushleft", &MimeRichText::rtFlushLeft},
    {"flushright", &MimeRichText::rtFlushRight},
    {"indent", &MimeRichText::rtIndent},
    {"indentright", &MimeRichText::rtNothing},
    {"outdent", &MimeRichText::rtOutdent},
    {"outdentright", &MimeRichText::rtNothing},
    {"samepage", &MimeRichText::rtNothing},
    {"subscript", &MimeRichText::rtSubscript},
    {"superscript", &MimeRichText::rtSuperscript},
    {"heading", &MimeRichText::rtNothing},
    {"footing", &MimeRichText::rtNothing},
    {"iso-8859-x", &MimeRichText::rtNothing},
    {"us-ascii", &MimeRichText::rtNothing},
    {"excerpt", &MimeRichText::rtExcerpt},
    {"paragraph", &MimeRichText::rtParagraph},
    {"signature", &MimeRichText::rtNothing},
    {"comment", &MimeRichText::rtComment},
    {"no-op", &MimeRichText::rtNothing},
    {"lt", &MimeRichText::rtLt},
    {"nl", &MimeRichText::rtNl},
    {"np", &MimeRichText::rtNp},
    {"nofill", &MimeRichText::rtNoFill},
    {"param", &MimeRichText::rtComment},
    {"rtf", &MimeRichText::rtNothing},
};

}  // namespace

MimeRichText& MimeRichText::readMimeEnriched(std::string_view data) {
    return read(data, LineEnds::Enriched);
}

MimeRichText& MimeRichText::readMimeRichText(std::string_view data) {
    return read(data, LineEnds::RichText);
}

MimeRichText& MimeRichText::read(std::string_view data, LineEnds mode) {
    initMime();
    beginUpdates();
    Stream stream{data};
    while (!stream.atEnd()) {
        char c = data[stream.pos++];
        if (c == '<') {
            flushPending();
            m_newlines = 0;
            execCommand(readCommand(stream));
        } else if (c == '\r' && !stream.atEnd() && data[stream.pos] == '\n') {
            continue;  // a CRLF line end counts as one newline
        } else {
            plainChar(c, mode);
        }
    }
    flushPending();
    endUpdates();
    return *this;
}

void MimeRichText::initMime() {
    m_mimeFontTraits = 0;
    m_mimeFontSize = fontSize() == 0.0f ? 12.0f : fontSize();
    m_mimeUnderlining = false;
    m_mimeInsideComment = false;
    m_mimeFontSP = 0;
    m_mimeJustificationStack[0] = kAlignLeft;
    m_mimeJustificationSP = 1;
    m_mimeIndentLevel = m_mimeOutdentLevel = m_mimeExcerptLevel = 0;
    m_mimeTmpBuf.clear();
    m_mimeLastc = '\n';
    m_mimeEatOneNl = false;
    m_mimeNoFill = false;
    m_newlines = 0;
    m_blankPending = false;
    setMargins(6.0f, 6.0f, 0.0f, 0.0f);
    setAlignment(kAlignLeft);
    setFontSize(12.0f);
    setFontTraits(0);
    selectAll();
}

std::string MimeRichText::readCommand(Stream& stream) {
    std::string command;
    bool endedAtLt = false;
    while (!stream.atEnd()) {
        char c = stream.data[stream.pos++];
        if (c == '>') break;
        if (c == '<') {
            endedAtLt = true;
            break;
        }
        if (command.size() < kCommandLimit) command += c;
    }
    if (command.empty() && endedAtLt) return "lt";
    return command;
}

bool MimeRichText::execCommand(const std::string& command) {
    std::string_view name = command;
    bool start = name.empty() || name.front() != '/';
    if (!start) name.remove_prefix(1);
    for (const Command& entry : kCommands) {
        if (equalsIgnoringCase(entry.name, name)) {
            (this->*entry.handler)(start);
            return start;
        }
    }
    logWarning(kWho, "Skipping unrecognized command: <%s>", command.c_str());
    return start;
}

void MimeRichText::plainChar(char c, LineEnds mode) {
    if (m_mimeInsideComment) return;
    if (c == '\n') {
        mode == LineEnds::Enriched ? enrichedNewline() : richTextNewline();
        return;
    }
    if (mode == LineEnds::Enriched) {
        if (m_newlines == 1) putChar(' ');
        m_newlines = 0;
    } else if (m_blankPending && !isSpace(c)) {
        if (!isSpace(m_mimeLastc)) putChar(' ');
        m_blankPending = false;
    }
    putChar(c);
}

// Outside nofill a single newline only joins lines; each further one breaks.
void MimeRichText::enrichedNewline() {
    if (m_mimeNoFill) {
        lineBreak();
        return;
    }
    if (++m_newlines >= 2) lineBreak();
}

// Newlines never break lines in richtext; one after a word may become a blank.
void MimeRichText::richTextNewline() {
    if (!isSpace(m_mimeLastc)) m_blankPending = true;
}

void MimeRichText::putChar(char c) {
    m_mimeTmpBuf += c;
    m_mimeLastc = c;
    m_mimeEatOneNl = false;
    if (m_mimeTmpBuf.size() >= kPendingLimit) flushPending();
}

void MimeRichText::flushPending() {
    if (m_mimeTmpBuf.empty()) return;
    replaceSel(m_mimeTmpBuf);
    m_mimeTmpBuf.clear();
}

void MimeRichText::lineBreak() {
    if (m_mimeEatOneNl) {
        m_mimeEatOneNl = false;
    } else {
        putChar('\n');
    }
}

void MimeRichText::endOfBlockBreak() {
    if (!m_mimeEatOneNl) putChar('\n');
    m_mimeEatOneNl = true;
}

void MimeRichText::changeSize(float delta) {
    m_mimeFontSize += delta;
    setFontSize(m_mimeFontSize);
}

// Indent and outdent: a level each; an end closes the block with a line break
// and each sets the paragraph indent from its own level only.
void MimeRichText::blockCommand(bool start, int& level, const char* name, float sign) {
    if (start) {
        ++level;
    } else {
        if (level > 0) {
            --level;
        } else {
            mismatchError(name);
        }
        endOfBlockBreak();
    }
    float indent = sign * static_cast<float>(level) * m_mimeIndentStep * fontSize();
    setIndents(indent, indent);
}

void MimeRichText::rtExcerpt(bool start) {
    if (start) {
        ++m_mimeExcerptLevel;
        rtItalic(true);
    } else if (m_mimeExcerptLevel < 1) {
        mismatchError("excerpt");
    } else {
        rtItalic(false);
        --m_mimeExcerptLevel;
    }
}

void MimeRichText::rtParagraph(bool) {
    lineBreak();
    lineBreak();
}

void MimeRichText::rtLt(bool) { putChar('<'); }

void MimeRichText::rtNl(bool) { lineBreak(); }

void MimeRichText::rtNp(bool) { putChar('\f'); }

void MimeRichText::rtSubscript(bool start) { start ? subscript() : unscript(); }

void MimeRichText::rtSuperscript(bool start) { start ? superscript() : unscript(); }

void MimeRichText::rtSetFontStyle(bool start, unsigned trait) {
    if (start) {
        if (m_mimeFontSP >= kStackDepth) {
            overflowError(fontStyleName(trait));
            return;
        }
        m_mimeFontStack[static_cast<size_t>(m_mimeFontSP++)] = fontTraits();
        setFontTraits(trait, trait);
    } else {
        if (m_mimeFontSP == 0) {
            mismatchError(fontStyleName(trait));
            return;
        }
        // The saved set comes back whole, whichever trait the end names.
        setFontTraits(m_mimeFontStack[static_cast<size_t>(--m_mimeFontSP)]);
    }
}

void MimeRichText::rtSetJustification(bool start, int type) {
    auto& stack = m_mimeJustificationStack;
    if (start) {
        if (m_mimeJustificationSP >= kStackDepth) {
            overflowError(justificationStringFor(type));
        } else {
            stack[static_cast<size_t>(m_mimeJustificationSP++)] = type;
        }
    } else {
        if (m_mimeJustificationSP <= 1) {
            mismatchError(justificationStringFor(type));
            return;
        }
        int open = stack[static_cast<size_t>(--m_mimeJustificationSP)];
        if (open != type) {
            expectError(justificationStringFor(open), justificationStringFor(type));
            ++m_mimeJustificationSP;
        }
    }
    int wanted = stack[static_cast<size_t>(m_mimeJustificationSP - 1)];
    if (wanted != alignment()) setAlignment(wanted);
}

void MimeRichText::mismatchError(const std::string& name) {
    logWarning(kWho, "Ignoring unmatched </%s> command", name.c_str());
}

void MimeRichText::overflowError(const std::string& name) {
    logWarning(kWho, "Internal stack overflow, ignoring <%s> command", name.c_str());
}

void MimeRichText::expectError(const std::string& expected, const std::string& found) {
    logError(kWho, "Data error: found </%s>, expected </%s>", found.c_str(), expected.c_str());
}

std::string MimeRichText::fontStyleName(unsigned trait) {
    if (trait == kItalicTrait) return "italic";
    if (trait == kBoldTrait) return "bold";
    if (trait == kUnderlineTrait) return "underline";
    return formatString("font-style-%d\n", static_cast<int>(trait));
}

std::string MimeRichText::justificationStringFor(int type) {
    static const char* const kNames[] = {"flushleft", "flushright", "center", "justified"};
    if (type >= 0 && type < 4) return kNames[type];
    logError(kWho, "Internal error: Unknown justification type %d", type);
    return formatString("justification-type-%d", type);
}

}  // namespace quill

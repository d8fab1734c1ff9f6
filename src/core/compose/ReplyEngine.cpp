#include "compose/ReplyEngine.h"

#include "base/FileHandles.h"
#include "base/utf8.h"
#include "compose/quoting.h"
#include "compose/replyfields.h"
#include "message/MimeMessage.h"
#include "message/charset.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "richtext/TextView.h"
#include "settings/Defaults.h"
#include "store/Message.h"

namespace quill {
namespace {

// Indent of an included rich message, in points.
constexpr float kIncludeIndent = 36;

std::string headerOrEmpty(MailMessage& message, std::string_view key) {
    const std::string* value = message.headerValueForKey(key);
    return value ? *value : std::string();
}

void insertBodyOf(MailMessage& message, TextView& text) {
    if (auto* mime = dynamic_cast<MimeMessage*>(&message)) {
        mime->replaceSelWithBodyInView(text);
        return;
    }
    message.replaceSelWithBodyInText([&](std::string_view run, bool) { text.replaceSel(run); });
}

}  // namespace

ReplyEngine::ReplyEngine(ReplyTarget& target, const ReplySource* source, Defaults& defaults)
    : m_target(target), m_source(source), m_defaults(defaults) {}

bool ReplyEngine::showsMessage() const {
    return m_source && m_source->curMsg() >= 0 && m_source->msgHeader();
}

std::string ReplyEngine::replyTo() const {
    if (!showsMessage()) return "";
    return replyToAddresses(*m_source->msgHeader(), m_defaults.replyToSelf());
}

std::string ReplyEngine::replyCc() const {
    if (!showsMessage()) return "";
    return replyCcAddresses(*m_source->msgHeader(), m_target.getField(ReplyTarget::kTo),
                            m_defaults.replyToSelf());
}

std::string ReplyEngine::replySubject() const {
    return showsMessage() ? quill::replySubject(*m_source->msgHeader()) : "";
}

void ReplyEngine::replyHelper(bool toAll) {
    if (!showsMessage()) {
        runAlert("Reply", "No message to reply to", "OK", nullptr, nullptr);
        return;
    }
    if (m_target.getField(ReplyTarget::kTo).empty()) m_target.setField(ReplyTarget::kTo, replyTo());
    if (m_target.getField(ReplyTarget::kSubject).empty())
        m_target.setField(ReplyTarget::kSubject, replySubject());
    setReplyCopies(toAll);
    MailMessage* message = m_source->mailMessage();
    if (message && m_defaults.autoReplyFormat() && !m_target.haveSetFormat())
        m_target.takeSendFormatFrom(*message);
    setReferences();
    m_target.followInOptionsPanel();
    m_target.offerReplyAll(!toAll);
    m_target.selectField(ReplyTarget::kCc);
}

// A Cc that neither kind of reply would have put there was typed by the user
// and stays; otherwise this kind's copies replace the other kind's.
void ReplyEngine::setReplyCopies(bool toAll) {
    std::string typed = m_target.getField(ReplyTarget::kCc);
    std::string copies = replyCc();
    std::string other = toAll ? std::string() : copies;
    if (!typed.empty() && typed != other) return;
    std::string ours = toAll ? copies : std::string();
    bool toIsEmpty = m_target.getField(ReplyTarget::kTo).empty();
    m_target.setField(toIsEmpty ? ReplyTarget::kTo : ReplyTarget::kCc, ours);
}

void ReplyEngine::setReferences() {
    if (std::optional<std::string> references = replyReferences(*m_source->msgHeader()))
        m_target.setField(ReplyTarget::kReferences, *references);
}

void ReplyEngine::takeSubjectIfEmpty() {
    if (!m_target.getField(ReplyTarget::kSubject).empty()) return;
    m_target.setField(ReplyTarget::kSubject, m_source->msgHeader()->emptyGet("Subject:"));
}

void ReplyEngine::forward() {
    if (!showsMessage()) {
        runAlert("Forward", "No message to forward", "OK", nullptr, nullptr);
        return;
    }
    TextView& text = m_target.text();
    const size_t start = text.selStart(), end = text.selEnd();
    const bool hadFocus = m_target.textHasFocus();
    text.setSel(text.textLength(), text.textLength());
    text.replaceSel(localized(kUITable, "\n\nBegin forwarded message:\n\n"));
    replaceSelWithMessageFrom();
    takeSubjectIfEmpty();
    if (hadFocus) {
        text.setSel(start, end);
        m_target.scrollToSelection();
    } else {
        m_target.selectField(ReplyTarget::kTo);
    }
    m_target.nowEditing();
}

void ReplyEngine::forwardAndWrap() {
    if (!showsMessage()) {
        runAlert("Wrap And Reply", "No message to forward", "OK", nullptr, nullptr);
        return;
    }
    takeSubjectIfEmpty();
    m_target.text().setSel(0, 0);
    replaceSelWithWrappedMessageFrom();
    m_target.scrollToSelection();
    m_target.nowEditing();
}

// The shown text's characters in the compose text's encoding.
std::string ReplyEngine::shownTextForTarget() const {
    const TextView& shown = m_source->getTextObject();
    const bool targetUtf8 = m_target.text().isUtf8();
    if (shown.isUtf8() == targetUtf8) return shown.plainText();
    return targetUtf8 ? latin1ToUtf8(shown.plainText()) : utf8ToLatin1(shown.plainText());
}

void ReplyEngine::replaceSelWithWrappedMessageFrom() {
    if (!showsMessage()) return;
    std::string text = shownTextForTarget();
    std::string quoted = quoteAttribution(*m_source->msgHeader());
    quoted += wrappedQuote(bodyOfShownText(text), m_defaults.lineLength() - 2,
                           m_defaults.replyEmptyLines());
    m_target.text().replaceSel(quoted);
}

void ReplyEngine::replaceSelWithMessageFrom() {
    if (!showsMessage()) return;
    TextView& text = m_target.text();
    const bool plain = m_target.isPlainFormat();
    if (!plain && (m_target.isSpecialDelivery() || m_source->attachDir())) {
        text.setPlainMode(false);
        text.replaceSelWithView(m_source->getTextObject());
        m_target.textDidPaste();
        return;
    }
    std::string shown = shownTextForTarget();
    text.replaceSel(plain && !text.isUtf8() ? asciiTransliteration(shown) : shown);
}

void ReplyEngine::includeMessage() {
    if (!showsMessage()) return;
    TextView& text = m_target.text();
    if (m_target.isPlainFormat()) {
        text.replaceSel(prefixedLines(shownTextForTarget(), m_defaults.lineLength() - 8,
                                      m_defaults.includePrefix()));
    } else {
        includeRich();
    }
    m_target.nowEditing();
}

// The shown document indented and with its slant flipped, so the quote stands
// apart from what the user writes around it.
void ReplyEngine::includeRich() {
    TextView& text = m_target.text();
    const size_t start = text.selStart();
    text.replaceSelWithView(m_source->getTextObject());
    const size_t end = text.selStart();
    text.setSel(start, end);
    text.setIndents(kIncludeIndent, kIncludeIndent);
    text.toggleFontTraits(kItalicTrait);
    text.setSel(end, end);
}

void ReplyEngine::restoreDraftFromMessage(MailMessage& message) {
    m_target.restoreDraftHook(message);
    m_target.takeSendFormatFrom(message);
    const std::pair<int, std::string> fields[] = {
        {ReplyTarget::kTo, "To"},
        {ReplyTarget::kSubject, "Subject"},
        {ReplyTarget::kCc, "cc"},
        {ReplyTarget::kBcc, "bcc"},
        {ReplyTarget::kReplyTo, "Reply-To"},
        {ReplyTarget::kReferences, "References"},
        {ReplyTarget::kUserField1, m_defaults.userKey1()},
        {ReplyTarget::kUserField2, m_defaults.userKey2()},
    };
    for (const auto& [field, key] : fields)
        m_target.setField(field, key.empty() ? std::string() : headerOrEmpty(message, key));
    TextView& text = m_target.text();
    text.setSel(text.textLength(), text.textLength());
    insertBodyOf(message, text);
    m_target.bodyDidLoad();
}

void ReplyEngine::addComposeTemplate() {
    std::string path = m_defaults.composeTemplate();
    if (!path.empty()) incorporateFile(path);
}

bool ReplyEngine::incorporateFile(const std::string& path) {
    std::string contents;
    if (!readFile(path, contents)) return false;
    m_target.focusText();
    TextView& text = m_target.text();
    text.setSel(0, 0);
    text.replaceSel(contents + "\n");
    m_target.selectField(ReplyTarget::kTo);
    m_target.nowEditing();
    return true;
}

}  // namespace quill

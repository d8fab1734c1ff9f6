#include "compose/Send.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "addressbook/AliasBook.h"
#include "base/Diagnostics.h"
#include "compose/Delivery.h"
#include "compose/Mailer.h"
#include "compose/OutgoingMessage.h"
#include "formats/ZellMessage.h"
#include "message/MailMessage.h"
#include "message/MimeMessage.h"
#include "message/StringList.h"
#include "message/charset.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "platform/UserInfo.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"

namespace quill {
namespace {

constexpr const char* kFieldNames[kSendFieldCount] = {"To",       "Subject", "Cc",    "Bcc",
                                                      "Reply-To", nullptr,   nullptr, "References"};
constexpr size_t kMaxTitle = 1020;
constexpr size_t kMaxSubject = 1000;

int formatIndexOf(const MailClass& cls) {
    const auto& classes = MailMessage::mailClasses();
    auto it = std::find(classes.begin(), classes.end(), &cls);
    return it == classes.end() ? kPlainFormat : static_cast<int>(it - classes.begin());
}

// A mailbox setting as a path: absolute, "~/..." or a name in the mail directory.
std::string mailboxSettingPath(Defaults& defaults, const std::string& name) {
    std::string path = expandTilde(name);
    return path.starts_with('/') ? path : defaults.mailDirectory() + "/" + path;
}

}  // namespace

Send::Send(SendServices services)
    : m_services(std::move(services)), m_self(std::make_shared<Send*>(this)) {
    Defaults& d = defaults();
    m_sendFormat = d.sendFormat();
    if (m_sendFormat < 0 || m_sendFormat >= static_cast<int>(MailMessage::mailClasses().size()))
        m_sendFormat = kPlainFormat;
    m_encrypt = d.encrypt();
    m_readReceipt = d.readReceipt();
    m_archive = d.archive();
    m_fields[kFieldReplyTo] = d.replyTo();
    if (!d.userKey1().empty()) m_fields[kFieldUser1] = d.userValue1();
    if (!d.userKey2().empty()) m_fields[kFieldUser2] = d.userValue2();
    m_sizeDisplayOn = d.composeStatusLine();
    m_text.setPlainMode(m_sendFormat == kPlainFormat);
}

Send::~Send() {
    cancel(m_sizeTimer);
    cancel(m_specialTimer);
    cancel(m_closeTimer);
}

void Send::setView(SendView* view) {
    m_view = view;
    retitle();
    updateSize();
}

// ---- fields ----

std::optional<std::string> Send::getField(int field) const {
    if (field < 0 || field >= kSendFieldCount) return std::nullopt;
    const std::string& value = m_fields[field];
    size_t start = value.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return std::nullopt;
    return value.substr(start);
}

void Send::setField(int field, std::string_view value) {
    if (field < 0 || field >= kSendFieldCount) return;
    m_fields[field] = value;
    if (field == kFieldSubject) retitle();
}

std::string Send::errStringFor(int field, bool translate) const {
    std::string name;
    if (field == kFieldUser1)
        name = defaults().userKey1();
    else if (field == kFieldUser2)
        name = defaults().userKey2();
    else if (field >= 0 && field < kSendFieldCount)
        name = kFieldNames[field];
    return translate ? localized("UI", name) : name;
}

// ---- body and formats ----

bool Send::isPlainText() const { return !m_text.hasFormatting() && !m_text.hasGraphics(); }

void Send::setSendFormat(int index) {
    if (index == kPlainFormat) {
        m_richBackup = m_text;
        makeAscii(false);
        m_text.setPlainMode(true);
    } else {
        m_text.setPlainMode(false);
        if (m_richBackup) {
            m_text = *m_richBackup;
            m_richBackup.reset();
        }
        setSpecialDeliveryFromText();
    }
    m_sendFormat = index;
    m_haveSetFormat = true;
    if (m_view) m_view->formatChanged(index);
}

void Send::takeSendFormatFrom(const MailMessage& message) {
    const MailClass& cls = message.formatClass();
    if (&cls == &ZellMessage::mailClass())
        setSendFormat(message.isRichBody() ? formatIndexOf(MimeMessage::mailClass())
                                           : kPlainFormat);
    else
        setSendFormat(formatIndexOf(cls));
}

int Send::nextFormat() const {
    const auto& classes = MailMessage::mailClasses();
    int count = static_cast<int>(classes.size());
    for (int step = 1; step < count; ++step) {
        int index = (m_sendFormat + step) % count;
        if (classes[index]->canCompose && classes[index]->formatIcon) return index;
    }
    return m_sendFormat;
}

bool Send::makeAscii(bool fromCommand) {
    if (fromCommand && m_text.hasGraphics() &&
        runAlert(m_services.mail.panels, "Make ASCII",
                 "You will lose your attachments if you use this command.", "Cancel",
                 "Make ASCII Anyway", nullptr) == kAlertDefault)
        return false;
    const RichText& rich = m_text.richText();
    std::string ascii;
    for (size_t i = 0; i < rich.length(); ++i) {
        if (rich.attachmentAt(i)) continue;
        ascii += toAscii(static_cast<unsigned char>(rich.plainText()[i]));
    }
    m_text.clear();
    m_text.replaceSel(ascii);
    if (m_view) m_view->setSpecialDelivery(false);
    return true;
}

void Send::addHelper(std::shared_ptr<SendHelper> helper) { m_helpers.push_back(std::move(helper)); }

bool Send::helpersAcceptBuilt(MailMessage& message) {
    return std::all_of(m_helpers.begin(), m_helpers.end(),
                       [&](const auto& helper) { return helper->messageBuilt(message); });
}

bool Send::helpersAcceptDelivery(MailMessage& message, const StringList& recipients) {
    return std::all_of(m_helpers.begin(), m_helpers.end(), [&](const auto& helper) {
        return helper->willDeliver(message, recipients);
    });
}

// ---- editing, title, size ----

void Send::nowEditing() {
    if (m_view) m_view->setDocumentEdited(true);
    m_editing = true;
    scheduleSizeUpdate();
    m_richBackup.reset();
}

void Send::textDidChange() {
    nowEditing();
    long long threshold = defaults().delayedComposeUpdateSize() * 1024LL;
    if (static_cast<long long>(m_text.textLength()) < threshold) {
        setSpecialDeliveryFromText();
        return;
    }
    cancel(m_specialTimer);
    m_specialTimer =
        runLoop().performAfter(std::chrono::milliseconds(defaults().composeSizeDelay()), [this] {
            m_specialTimer.reset();
            setSpecialDeliveryFromText();
        });
}

void Send::clearEditing() {
    m_editing = false;
    if (m_view) m_view->setDocumentEdited(false);
}

std::string Send::title() const {
    std::string title;
    switch (m_mode) {
        case kModeDelivered:
            title = localized("UI", "delivered: ");
            break;
        case kModeDelivering:
            title = localized("UI", "delivering: ");
            break;
        case kModeSaving:
            title = localized("UI", "saving: ") + defaults().draftsMailbox();
            break;
        default:
            title = localized("UI", "Compose");
            break;
    }
    if (std::optional<std::string> subject = getField(kFieldSubject)) {
        title += " - ";
        if (title.size() < kMaxTitle) title += subject->substr(0, kMaxTitle - title.size());
    }
    return title.substr(0, kMaxTitle);
}

std::string Send::sizeText(long long bytes) {
    if (bytes < 10000) return formatString(localized("UI", "%d bytes").c_str(), int(bytes));
    if (bytes < 1048576)
        return formatString(localized("UI", "%dKB").c_str(), int((bytes + 1023) / 1024));
    return formatString(localized("UI", "%.1fMB").c_str(), bytes / 1048576.0);
}

std::optional<long long> Send::composedSize() const {
    long long size = static_cast<long long>(m_text.textLength());
    for (const Attachment* attachment : m_text.richText().attachments()) {
        if (m_services.userEventWaiting && m_services.userEventWaiting()) return std::nullopt;
        if (attachment->isFile() && !attachment->path.empty())
            size += OutgoingMessage::quickSize(attachment->path);
    }
    return size;
}

void Send::updateSize() {
    if (!m_sizeDisplayOn) return;
    if (std::optional<long long> size = composedSize()) {
        m_sizeDisplay = sizeText(*size);
    } else {
        if (!m_sizeDisplay.starts_with('~')) m_sizeDisplay.insert(0, "~");
        scheduleSizeUpdate();
    }
    if (m_view) m_view->setSizeText(m_sizeDisplay);
}

void Send::scheduleSizeUpdate() {
    if (!m_sizeDisplayOn) return;
    cancel(m_sizeTimer);
    m_sizeTimer =
        runLoop().performAfter(std::chrono::milliseconds(defaults().composeSizeDelay()), [this] {
            m_sizeTimer.reset();
            updateSize();
        });
}

void Send::setSpecialDeliveryFromText() {
    if (m_view) m_view->setSpecialDelivery(!isPlainText());
}

void Send::setMode(int mode) {
    m_mode = mode;
    retitle();
}

void Send::retitle() {
    if (m_view) m_view->setTitle(title());
}

void Send::cancel(std::optional<RunLoop::Id>& timer) {
    if (timer) runLoop().cancel(*timer);
    timer.reset();
}

// ---- checks ----

bool Send::alertChecked(bool failed, const char* format, const char* argument) {
    if (failed)
        runAlert(m_services.mail.panels, "Deliver", format, "OK", nullptr, nullptr, argument);
    return failed;
}

bool Send::invalidSubject() {
    std::string subject = getField(kFieldSubject).value_or("");
    return alertChecked(subject.find_first_of("\r\n") != std::string::npos,
                        "Return characters are not allowed in the Subject: field") ||
           alertChecked(subject.size() >= kMaxSubject,
                        "The Subject: field must contain less that 1000 characters");
}

bool Send::invalidTo(int field) {
    std::string name = errStringFor(field, true);
    return alertChecked(getField(field).value_or("").find_first_of("\r\n") != std::string::npos,
                        "Return characters are not allowed in the %s: field", name.c_str());
}

bool Send::invalidMailer() {
    std::string mailer = defaults().mailer();
    struct stat st;
    bool runnable = ::stat(mailer.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                    ::access(mailer.c_str(), X_OK) == 0;
    return alertChecked(!runnable, "Invalid Mailer");
}

// ---- recipients and the message ----

std::string Send::expandAddressLine(std::string_view line) const {
    if (AliasBook* book = m_services.aliases ? m_services.aliases() : nullptr)
        return book->expandAddressLine(line);
    StringList list;
    list.addParsedAddressesFrom(line);
    return list.commaizedStringValue();
}

StringList Send::recipients() const {
    StringList list;
    for (int field : {kFieldTo, kFieldCc, kFieldBcc})
        list.addParsedAddressesFrom(getField(field).value_or(""));
    if (AliasBook* book = m_services.aliases ? m_services.aliases() : nullptr)
        book->expandAliases(list);
    return list;
}

std::unique_ptr<MailMessage> Send::mailMessage() {
    std::unique_ptr<MailMessage> message = OutgoingMessage(*this).build();
    if (message && !helpersAcceptBuilt(*message)) message.reset();
    return message;
}

// ---- delivery ----

void Send::deliverAction(std::optional<bool> archiveOverride) {
    bool saved = m_archive;
    if (archiveOverride) m_archive = *archiveOverride;
    deliver();
    m_archive = saved;
}

bool Send::deliver() {
    if (m_view) m_view->commitFieldEdits();
    if (invalidSubject() || invalidTo(kFieldTo) || invalidTo(kFieldCc) || invalidTo(kFieldBcc) ||
        invalidMailer())
        return false;
    StringList list = recipients();
    if (alertChecked(list.count() == 0, "Invalid recipient list in To: field")) return false;
    setMode(kModeDelivering);
    bool started = Delivery(*this, std::move(list)).run();
    setMode(kModeComposing);
    return started;
}

void Send::handedOff() {
    setMode(kModeDelivered);
    clearEditing();
    if (m_view) m_view->hideWindow();
    if (m_services.forgetComposer) m_services.forgetComposer();
    if (defaults().autoFetch() && m_services.checkForMail) m_services.checkForMail();
}

std::function<void(int)> Send::deliveryReport() {
    std::weak_ptr<Send*> self = m_self;
    return [self](int waitStatus) {
        if (auto alive = self.lock()) (*alive)->didDeliver(waitStatus);
    };
}

void Send::didDeliver(int waitStatus) {
    std::optional<std::string> failure =
        Mailer::failureText(waitStatus, defaults().ignoreMailerErrors());
    if (failure) {
        m_editing = true;
        if (m_view) {
            m_view->setDocumentEdited(true);
            m_view->orderFront();
        }
        runAlert(m_services.mail.panels, "Deliver",
                 "Unable to deliver message: The mailer indicated an error (%s).", "OK", nullptr,
                 nullptr, failure->c_str());
        return;
    }
    cancel(m_closeTimer);
    m_closeTimer = runLoop().performAfter(std::chrono::milliseconds(10), [this] {
        m_closeTimer.reset();
        if (m_view) m_view->performClose();
    });
    if (defaults().autoFetch() && m_services.checkForMail) m_services.checkForMail();
}

bool Send::saveDraft() {
    if (m_view) m_view->commitFieldEdits();
    MailBox* drafts = MailBox::newTempMailBox(
        mailboxSettingPath(defaults(), defaults().draftsMailbox()), m_services.mail);
    setMode(kModeSaving);
    std::unique_ptr<MailMessage> message = mailMessage();
    if (message) {
        if (std::optional<std::string> bcc = getField(kFieldBcc))
            message->setHeaderKey("bcc", *bcc);
    }
    bool saved = drafts && message && drafts->appendMessage(*message);
    if (saved)
        clearEditing();
    else
        runAlert(m_services.mail.panels, "Save", "Unable to save this message", "OK", nullptr,
                 nullptr);
    setMode(kModeComposing);
    return saved;
}

std::string Send::archivePath() {
    return mailboxSettingPath(defaults(), defaults().outgoingMailbox());
}

}  // namespace quill

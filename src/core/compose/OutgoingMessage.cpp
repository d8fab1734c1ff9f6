#include "compose/OutgoingMessage.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <set>

#include "base/Diagnostics.h"
#include "compose/Send.h"
#include "compose/outgoingsettings.h"
#include "formats/ZellMessage.h"
#include "message/MailMessage.h"
#include "message/MimeBodyBuilder.h"
#include "message/date.h"
#include "message/fieldutil.h"
#include "platform/UserInfo.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isWordSender(const std::string& value) {
    return value.size() == 6 && strncasecmp(value.c_str(), "sender", 6) == 0;
}

long long directorySize(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return 0;
    std::set<std::string> names;
    while (dirent* entry = ::readdir(dir)) names.insert(entry->d_name);
    ::closedir(dir);
    long long size = 0;
    for (const std::string& name : names) {
        if (name == "." || name == ".." || name == "TXT.rtf") continue;
        if (name.ends_with(".tiff") && names.count(name.substr(0, name.size() - 5))) continue;
        size += OutgoingMessage::quickSize(path + "/" + name);
    }
    return size;
}

}  // namespace

std::unique_ptr<MailMessage> OutgoingMessage::build() {
    const auto& classes = MailMessage::mailClasses();
    int format = m_send.sendFormat();
    if (classes.empty()) return nullptr;
    applyOutgoingSettings(m_send.services().mail.defaults);
    const MailClass& cls = *classes[format >= 0 && format < int(classes.size()) ? format : 0];
    std::unique_ptr<MailMessage> message = cls.create();
    if (!message) return nullptr;
    setFieldHeaders(*message);
    setSenderIdentity(*message);
    message->setReadReceipt(m_send.readReceipt());
    message->addReceivedByZellIfNeeded();
    setBody(*message);
    return message;
}

void OutgoingMessage::setFieldHeaders(MailMessage& message) {
    Defaults& defaults = m_send.services().mail.defaults;
    std::string userKeys[] = {defaults.userKey1(), defaults.userKey2()};
    for (int i = 0; i < 2; ++i) {
        std::optional<std::string> value = m_send.getField(kFieldUser1 + i);
        if (value && !userKeys[i].empty() && !isWordSender(*value))
            message.setHeaderKey(userKeys[i], *value);
    }
    bool expand = defaults.expandPrivateAliases();
    auto set = [&](const char* key, int field, bool addresses) {
        std::optional<std::string> value = m_send.getField(field);
        if (!value) return;
        message.setHeaderKey(key, addresses && expand ? m_send.expandAddressLine(*value) : *value);
    };
    set("References", kFieldReferences, false);
    set("Reply-To", kFieldReplyTo, true);
    set("Cc", kFieldCc, true);
    set("Subject", kFieldSubject, false);
    set("To", kFieldTo, true);
    message.setHeaderKey("Date", dateTime(std::time(nullptr)));
}

void OutgoingMessage::setSenderIdentity(MailMessage& message) {
    std::string identity =
        formatString("%s <%s>", getRealName().c_str(), currentUser().loginName.c_str());
    const std::string* from = message.headerValueForKey("From");
    if (!from) {
        message.setHeaderKey("From", identity);
        return;
    }
    std::string address = *from;
    message.setHeaderKey("From", std::nullopt);
    message.setHeaderKey("From", address);
    if (!isMyAddress(address, myAddresses(m_send.services().mail.defaults)))
        message.setHeaderKey("Sender", identity);
}

void OutgoingMessage::setBody(MailMessage& message) {
    const TextView& text = m_send.text();
    if (auto* mime = dynamic_cast<MimeMessage*>(&message))
        MimeBodyBuilder::setBodyFromText(*mime, text);
    else if (auto* native = dynamic_cast<ZellMessage*>(&message))
        native->setRichText(text.richText(), !m_send.isPlainText());
    else
        message.setBody(text.plainText());
}

std::string OutgoingMessage::dateTime(std::time_t when) {
    std::tm local{};
    ::localtime_r(&when, &local);
    return formatString("%s, %2d %s %02d %02d:%02d:%02d %s", kDays[local.tm_wday], local.tm_mday,
                        kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min,
                        local.tm_sec, rfc822zone(-local.tm_gmtoff).c_str());
}

long long OutgoingMessage::quickSize(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? directorySize(path) : static_cast<long long>(st.st_size);
}

}  // namespace quill

#include "store/pastetext.h"

#include "base/Diagnostics.h"
#include "message/MailMessage.h"
#include "message/date.h"

namespace quill {
namespace {

constexpr std::size_t kSubjectLength = 64;

std::string subjectOf(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) < 33) ++start;
    std::string subject(text.substr(start, kSubjectLength));
    // "%.*s" stops at a NUL byte.
    subject.resize(subject.find('\0') == std::string::npos ? subject.size() : subject.find('\0'));
    if (subject.size() == kSubjectLength) subject += "...";
    for (char& c : subject) {
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    }
    return subject;
}

std::string header(std::string_view text, const UserInfo& user, std::time_t now) {
    char when[64];
    ::ctime_r(&now, when);
    std::string out = formatString("From %s %s", user.loginName.c_str(), when);
    out += formatString("Received: %s (%s %s)\n", "by Zell.Mailer", platformBuildText().c_str(),
                        kMailerVersionText);
    out += formatString("From: %s <%s>\n", user.realName.c_str(), user.loginName.c_str());
    out += "Date: " + mailDateText(now) + "\n";
    out += "To: " + user.loginName + "\n";
    out += "Subject: " + subjectOf(text) + "\n\n";
    return out;
}

}  // namespace

std::string mailDateText(std::time_t when) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm t;
    ::localtime_r(&when, &t);
    return formatString("%s, %02d %s %d %02d:%02d:%02d %s", kDays[t.tm_wday], t.tm_mday,
                        kMonths[t.tm_mon], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec,
                        rfc822zone(-t.tm_gmtoff).c_str());
}

std::string pastedMessage(std::string_view text, const UserInfo& user, std::time_t now) {
    std::string out = text.starts_with("From ") ? std::string() : header(text, user, now);
    out.append(text);
    if (!text.ends_with("\n\n")) out += text.ends_with("\n") ? "\n" : "\n\n";
    return out;
}

}  // namespace quill

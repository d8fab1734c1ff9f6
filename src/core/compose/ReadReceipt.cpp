#include "compose/ReadReceipt.h"

#include <fcntl.h>
#include <unistd.h>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "compose/Mailer.h"
#include "message/MailMessage.h"
#include "message/StringList.h"
#include "message/fieldutil.h"
#include "platform/Error.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "platform/UserInfo.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

std::string localDateTime(const std::tm& when) {
    char buffer[128];
    size_t n = std::strftime(buffer, sizeof buffer, localized("UI", "%x %X").c_str(), &when);
    return std::string(buffer, n);
}

}  // namespace

std::string ReadReceipt::nextPath() {
    static int counter = 0;
    return formatString("%s/mailtmp.%s.%d", "/tmp", currentUser().loginName.c_str(), counter++);
}

std::string ReadReceipt::text(const std::optional<std::string>& subject, const std::tm& date,
                              const std::string& sender, const std::tm& readAt) {
    std::string out =
        formatString("From: %s <%s>\n", getRealName().c_str(), currentUser().loginName.c_str());
    out += formatString("To: %s\n", sender.c_str());
    out += "Subject: Read Receipt\n";
    out += formatString("Received: %s (%s %s)\n", "by Zell.Mailer", platformBuildText().c_str(),
                        kMailerVersionText);
    std::string sent = localDateTime(date);
    std::string read = localDateTime(readAt);
    if (subject && !subject->empty())
        out += formatString("\nYour message regarding \"%s\" of  \n%s was read on %s.\n",
                            subject->c_str(), sent.c_str(), read.c_str());
    else
        out +=
            formatString("\nYour message of %s  \nwas read on %s.\n", sent.c_str(), read.c_str());
    return out;
}

bool ReadReceipt::answerRequest(const std::optional<std::string>& subject, const std::tm& date,
                                const std::string& address, ProcessLauncher& launcher,
                                Defaults& defaults, Panels& panels) {
    enum { kAlways = 0, kNever = 1, kAsk = 2 };
    int option = defaults.readReceiptOption();
    if (option == kNever) return false;
    if (option == kAsk &&
        runAlert(panels, "Read Receipt",
                 "%s has requested a read receipt of this message.   Do you want to send one?",
                 "Yes", "No", nullptr, addressComment(address).c_str()) != kAlertDefault)
        return false;
    return send(subject, date, address, launcher, defaults, panels);
}

bool ReadReceipt::send(const std::optional<std::string>& subject, const std::tm& date,
                       const std::string& sender, ProcessLauncher& launcher, Defaults& defaults,
                       Panels& panels) {
    std::string path = nextPath();
    ::unlink(path.c_str());
    std::time_t now = std::time(nullptr);
    std::tm readAt{};
    ::localtime_r(&now, &readAt);
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    bool written =
        fd && writeAll(fd.get(), text(subject, date, sender, readAt)) && ::close(fd.release()) == 0;
    if (!written) {
        Error::badFile(panels, Status::fileFailure(kFileOpen, path));
        ::unlink(path.c_str());
        return false;
    }
    StringList recipients;
    recipients.addString(sender);
    recipients.removeAddressComments();
    return Mailer::deliverMail(path, recipients, launcher, defaults, nullptr);
}

}  // namespace quill

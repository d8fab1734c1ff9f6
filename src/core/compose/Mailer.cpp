#include "compose/Mailer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "message/StringList.h"
#include "platform/Error.h"
#include "platform/Localized.h"
#include "process/ProcessLauncher.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

// The mailer's own exit codes (those of sysexits.h) that have a text.
const char* exitCodeText(int code) {
    switch (code) {
        case 67:
            return "user unknown";
        case 68:
            return "host unknown";
        case 69:
            return "service unavailable";
        case 70:
            return "internal software error";
        case 75:
            return "temporary failure";
        case 77:
            return "no permission";
        default:
            return nullptr;
    }
}

}  // namespace

std::vector<std::string> Mailer::commandLine(const std::string& mailer,
                                             const StringList& recipients) {
    std::vector<std::string> argv{mailer, "-oi", "-odb"};
    argv.insert(argv.end(), recipients.begin(), recipients.end());
    return argv;
}

bool Mailer::deliverMail(const std::string& path, const StringList& recipients,
                         ProcessLauncher& launcher, Defaults& defaults, ExitReport didDeliver) {
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file) {
        std::fprintf(stderr, localized("Alerts", "Unable to open file %s\n").c_str(), path.c_str());
        return false;
    }
    LaunchRequest request;
    request.argv = commandLine(defaults.mailer(), recipients);
    request.program = request.argv[0];
    request.stdio[0] = file.get();
    request.failureLabel = request.argv[0];
    request.failureStatus = kExitWithErrno;
    LaunchedChild child = launcher.launch(request);
    if (!child.started()) return false;
    // The child holds the file open; without "Debug" nothing of it stays in "/tmp".
    if (!defaults.debugging()) ::unlink(path.c_str());
    if (didDeliver)
        launcher.watchDelivery(child.pid, std::move(didDeliver));
    else
        launcher.watchExit(child.pid, nullptr);
    return true;
}

std::optional<std::string> Mailer::failureText(int waitStatus, bool ignoreMailerErrors) {
    if ((waitStatus & 0x7f) != 0)
        return formatString(localized("Alerts", "killed by signal %d").c_str(), waitStatus & 0x7f);
    int code = (waitStatus >> 8) & 0xff;
    if (code == 0) return std::nullopt;
    if (code >= 128) {
        std::string text = Error::appendFileError("", code - 128);
        return text.substr(std::min(text.find_first_not_of(' '), text.size()));
    }
    if (ignoreMailerErrors) return std::nullopt;
    if (const char* text = exitCodeText(code)) return localized("Alerts", text);
    return formatString(localized("Alerts", "exit code %d").c_str(), code);
}

}  // namespace quill

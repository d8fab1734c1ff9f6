// Mailer: the hand-off to the system mailer. The "Mailer" program runs with
// "-oi -odb" and the recipients on its command line (the only place Bcc
// addresses appear) and the message file as its standard input. Its end is
// told to a report; failureText turns a wait status into the reason shown.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quill {

class Defaults;
class ProcessLauncher;
class StringList;

class Mailer {
  public:
    using ExitReport = std::function<void(int waitStatus)>;

    // The argument vector: the mailer's path, "-oi", "-odb", the recipients.
    static std::vector<std::string> commandLine(const std::string& mailer,
                                                const StringList& recipients);
    // Starts the mailer on the file; its name goes once the mailer has it,
    // unless "Debug" is set. A delivery for a window is reported to
    // `didDeliver`; without one (a read receipt) the result is only collected.
    // False when the file cannot be opened or no child could be started.
    static bool deliverMail(const std::string& path, const StringList& recipients,
                            ProcessLauncher& launcher, Defaults& defaults, ExitReport didDeliver);
    // Nothing when the mailer succeeded (or its complaint is to be ignored),
    // else the reason: a signal, a system error of its start, its exit code.
    static std::optional<std::string> failureText(int waitStatus, bool ignoreMailerErrors);
};

}  // namespace quill

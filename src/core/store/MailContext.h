// MailContext: the services a mailbox and the code working on it are handed
// instead of reaching for process-wide ones: the settings, the panels that
// show the progress of long index work, the run loop that releases temporary
// mailboxes, where failures go, who decides about another holder's lock, and
// the launcher its children are started through.
// The application and the tools hand theirs down; tests build their own, so
// two configurations can run side by side.
#pragma once

#include <functional>
#include <string>

#include "base/Status.h"
#include "process/ProcessLauncher.h"

namespace quill {

class Defaults;
class Panels;
class RunLoop;

// Who holds a mailbox's ".lock" file, as the file says.
struct LockHolder {
    std::string path;  // the mailbox directory
    std::string user;
    std::string host;
};

struct MailContext {
    Defaults& defaults;
    Panels& panels;
    RunLoop& runLoop;
    // Each failure as it happens, in order; the caller decides what the user
    // hears. Unset: failures go unreported beyond the answers.
    std::function<void(const Status&)> report;
    // Whether to open a mailbox whose ".lock" names a live holder. Unset: no.
    std::function<bool(const LockHolder&)> breakLock;
    // Starts the programs a mailbox runs (display filter, copies and removals
    // of attachment directories). Unset: the installed launcher.
    ProcessLauncher* launcher = nullptr;

    void fail(const Status& status) const {
        if (report) report(status);
    }
    bool mayBreakLock(const LockHolder& holder) const { return breakLock && breakLock(holder); }
    ProcessLauncher& processes() const { return launcher ? *launcher : processLauncher(); }
};

}  // namespace quill

// ProcessLauncher: the one way Quill starts a program and learns how it ended.
// A launch names the program and its arguments, changes to the environment, a
// working directory and what the child's standard descriptors are: ours, a
// pipe back to us, or a descriptor we hand over. Waiting is per child, so one
// thread's synchronous wait never loses its child's status to anyone else, and
// a child nobody waits for is handed to the child-exit watch.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/FileHandles.h"

namespace quill {

// What one of the child's standard descriptors is (any other value is a
// descriptor of ours that the child gets in that place).
inline constexpr int kInheritStream = -1;  // ours, unchanged
inline constexpr int kPipeStream = -2;     // a pipe whose other end we keep
inline constexpr int kJoinOutput = -3;     // standard error only: wherever standard output goes

// A failure status that says why: 128 plus the errno of the failed call.
inline constexpr int kExitWithErrno = -1;

struct LaunchRequest {
    // The program first; a name without a slash is searched along the PATH.
    std::vector<std::string> argv;
    // The file to execute when it is not argv[0] (never searched).
    std::string program;
    // "NAME=value" sets, a bare "NAME" removes; the rest of ours is kept.
    std::vector<std::string> environment;
    // Where the child runs; empty keeps ours.
    std::string directory;
    int stdio[3] = {kInheritStream, kInheritStream, kInheritStream};
    // A terminal (our descriptor of it) that becomes the child's controlling
    // terminal in a session of its own; otherwise the child leads a process group.
    int controllingTerminal = -1;
    // When the program cannot be run the child writes "<failureLabel>: <reason>"
    // to its standard error (nothing when the label is empty) and ends with
    // `failureStatus`; so does a working directory that cannot be entered.
    // kExitWithErrno ends it with 128 plus the error number instead.
    std::string failureLabel;
    int failureStatus = 127;
};

// A started child: its pid (its process group too) and our ends of its pipes.
struct LaunchedChild {
    pid_t pid = -1;
    UniqueFd input;   // we write, the child reads its standard input
    UniqueFd output;  // its standard output (and error when joined)
    UniqueFd error;
    bool started() const { return pid > 0; }
};

class ProcessLauncher {
  public:
    // Told the child's raw wait status on the main thread's run loop.
    using ExitReport = std::function<void(int waitStatus)>;

    virtual ~ProcessLauncher() = default;

    // Starts a child; a pid of -1 (errno set) when no pipe or process could be made.
    virtual LaunchedChild launch(const LaunchRequest& request) = 0;
    // Waits for this child to end; its raw wait status, or -1 with errno set.
    virtual int wait(pid_t pid) = 0;
    // Collects this child if it has ended: 1 with `status` set, 0 while it
    // runs, -1 with errno set (it was collected already, or is not ours).
    virtual int tryWait(pid_t pid, int& status) = 0;
    // Leaves the child to the child-exit watch, which tells `report` (may be
    // empty) when it ends. Callable from any thread.
    virtual void watchExit(pid_t pid, ExitReport report) = 0;
    // The same for a mailer delivering a compose window's message: quitting
    // waits for these.
    virtual void watchDelivery(pid_t pid, ExitReport report) { watchExit(pid, std::move(report)); }
    // Sends `signo` to the child's whole process group.
    virtual void signalGroup(pid_t pid, int signo) = 0;
};

// The launcher for code not yet handed one: a POSIX launcher over the shared
// child-exit watch until the application installs another.
ProcessLauncher& processLauncher();
void installProcessLauncher(std::shared_ptr<ProcessLauncher> launcher);

}  // namespace quill

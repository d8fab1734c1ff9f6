// PosixProcessLauncher: fork and exec done so that a threaded program may use
// them. Everything that allocates or locks (the argument and environment
// arrays, the PATH candidates, the pipes) is made before fork; the child only
// moves descriptors, enters its directory, leaves our process group (or
// session), resets the signals we catch and executes, all async-signal-safe.
// Every descriptor Quill opens is close-on-exec and the child closes the rest,
// so it holds only its standard three. Children nobody waits for go to the
// child-exit watch given at construction.
#pragma once

#include "process/ChildWatch.h"
#include "process/ProcessLauncher.h"

namespace quill {

class PosixProcessLauncher : public ProcessLauncher {
  public:
    explicit PosixProcessLauncher(ChildWatch& watch) : m_watch(watch) {}

    LaunchedChild launch(const LaunchRequest& request) override;
    int wait(pid_t pid) override;
    int tryWait(pid_t pid, int& status) override;
    void watchExit(pid_t pid, ExitReport report) override;
    void watchDelivery(pid_t pid, ExitReport report) override;
    void signalGroup(pid_t pid, int signo) override;

  private:
    ChildWatch& m_watch;
};

}  // namespace quill

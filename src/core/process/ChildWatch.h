// ChildWatch: how the application learns that its children ended. The SIGCHLD
// handler only writes one byte to a close-on-exec pipe; the run loop serves
// that pipe on the main thread, where reapChildren collects every ended child
// and hands each one to the delivery registry. A compose window registers its
// mailer there and is told the mailer's wait status when it ends.
//
// Code that waits for a child of its own does so with waitpid on that child
// only (waitForPid), so it never takes another child's status away; children
// that end meanwhile are collected when the watch next runs.
#pragma once

#include <sys/types.h>

#include <functional>

namespace quill {

class PipeHandler;

// What a compose window wants done with its mailer's raw wait status.
using DeliveryReport = std::function<void(int waitStatus)>;

// Records a delivery child; `didDeliver` may be empty (nobody to tell).
void rememberImportantPid(pid_t pid, DeliveryReport didDeliver);
// Tells the child's window its status and drops the record; unknown pids are ignored.
void forgetImportantPid(pid_t pid, int waitStatus);
// Some outstanding delivery child, or -1 when none is left.
pid_t firstImportantPid();

// Installs the SIGCHLD handler (restarting interrupted calls), ignores broken
// pipes, and runs the handler once so that children that ended earlier are
// collected. The first call makes the watched pipe on the current run loop.
void setSignal();
// Restores the default SIGCHLD action; ended children wait until setSignal.
void unsetSignal();
bool childWatchIsSet();
// The watched pipe's function: drains it and collects every ended child.
void reapChildren(int readFd, PipeHandler& handler);
// Switches the watch off and drops its pipe (for the end of a run or of a test).
void endChildWatch();

// Switches the watch off for a scope and back on afterwards if it was on: for
// code whose child must not be collected by the watch.
class ChildWatchPause {
  public:
    ChildWatchPause();
    ~ChildWatchPause();
    ChildWatchPause(const ChildWatchPause&) = delete;
    ChildWatchPause& operator=(const ChildWatchPause&) = delete;

  private:
    bool m_wasSet;
};

}  // namespace quill

// ChildWatch: how the application learns that a child it does not wait for
// ended. The SIGCHLD handler only writes one byte to a close-on-exec pipe; the
// run loop serves that pipe on the main thread, where reap() collects the
// watched children that ended and tells each one's report its wait status.
//
// Only watched pids are collected (waitpid on each, never on any child), so a
// thread waiting synchronously for a child of its own always gets its status.
// A compose window's mailer is watched as a delivery: the quit waits for it.
//
// The SIGCHLD handler serves one watch per process: the one started last.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace quill {

class PipeHandler;

class ChildWatch {
  public:
    // What a watcher wants done with the child's raw wait status.
    using ExitReport = std::function<void(int waitStatus)>;

    ChildWatch();
    ~ChildWatch();
    ChildWatch(const ChildWatch&) = delete;
    ChildWatch& operator=(const ChildWatch&) = delete;

    // Installs the SIGCHLD handler (restarting interrupted calls), ignores
    // broken pipes, and looks once for watched children that ended earlier.
    // The first call makes the watched pipe on the current run loop.
    void start();
    // Restores the default SIGCHLD action; ended children wait until start.
    void stop();
    bool isStarted() const { return m_started; }
    // Stops and drops the pipe (for the end of a run or of a test).
    void end();

    // Collects `pid` when it ends and tells `report` (may be empty). Any thread.
    void watch(pid_t pid, ExitReport report) { add(pid, std::move(report), false); }
    // Someone else collected `pid`: drops it without a report. A delivery
    // stays until forgetImportantPid tells its window.
    void forget(pid_t pid);

    // Delivery children: watched, and counted until they end.
    void rememberImportantPid(pid_t pid, ExitReport didDeliver) {
        add(pid, std::move(didDeliver), true);
    }
    // Tells the child's window its status and drops the record; unknown pids are ignored.
    void forgetImportantPid(pid_t pid, int waitStatus);
    // Some outstanding delivery child, or -1 when none is left.
    pid_t firstImportantPid() const;

    // Collects every watched child that ended (what the pipe's handler does).
    void reap();

  private:
    struct Entry {
        ExitReport report;
        bool important = false;
    };
    void add(pid_t pid, ExitReport report, bool important);
    void finish(pid_t pid, int waitStatus);
    void wake();

    mutable std::mutex m_mutex;
    std::unordered_map<pid_t, Entry> m_watched;
    std::unique_ptr<PipeHandler> m_pipe;
    std::atomic<bool> m_started{false};
};

}  // namespace quill

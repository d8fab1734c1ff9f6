#include "process/ChildWatch.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <unordered_map>

#include "process/ChildProcess.h"
#include "process/PipeHandler.h"

namespace quill {
namespace {

std::atomic<int> g_childPipe{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads it");
bool g_signalSet = false;

std::unique_ptr<PipeHandler>& childPipeHandler() {
    static std::unique_ptr<PipeHandler> handler;
    return handler;
}

std::unordered_map<pid_t, DeliveryReport>& importantPids() {
    static std::unordered_map<pid_t, DeliveryReport> table;
    return table;
}

// Async-signal-safe: one byte to a non-blocking pipe. A full pipe already
// promises a wake-up, so a failed write loses nothing.
void childExited(int) {
    int saved = errno;
    int fd = g_childPipe.load(std::memory_order_relaxed);
    if (fd >= 0) {
        char byte = 'c';
        [[maybe_unused]] ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

void setAction(int sig, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    ::sigaction(sig, &action, nullptr);
}

}  // namespace

void rememberImportantPid(pid_t pid, DeliveryReport didDeliver) {
    importantPids()[pid] = std::move(didDeliver);
}

void forgetImportantPid(pid_t pid, int waitStatus) {
    auto it = importantPids().find(pid);
    if (it == importantPids().end()) return;  // a read receipt, or not a delivery at all
    DeliveryReport report = std::move(it->second);
    importantPids().erase(it);
    if (report) report(waitStatus);
}

pid_t firstImportantPid() { return importantPids().empty() ? -1 : importantPids().begin()->first; }

void setSignal() {
    auto& handler = childPipeHandler();
    if (!handler) {
        handler = PipeHandler::initWithFunction(reapChildren);
        if (!handler) {
            reportSystemError("pipe");
            return;
        }
        g_childPipe.store(handler->writeFd());
    }
    setAction(SIGCHLD, childExited, SA_RESTART | SA_NOCLDSTOP);
    setAction(SIGPIPE, SIG_IGN, 0);
    g_signalSet = true;
    childExited(SIGCHLD);
}

void unsetSignal() {
    setAction(SIGCHLD, SIG_DFL, 0);
    g_signalSet = false;
}

bool childWatchIsSet() { return g_signalSet; }

void reapChildren(int readFd, PipeHandler&) {
    char bytes[4];
    [[maybe_unused]] ssize_t n = ::read(readFd, bytes, sizeof bytes);
    int status = 0;
    pid_t pid;
    while ((pid = waitForPid(-1, &status, WNOHANG)) > 0) forgetImportantPid(pid, status);
}

void endChildWatch() {
    unsetSignal();
    g_childPipe.store(-1);
    childPipeHandler().reset();
}

ChildWatchPause::ChildWatchPause() : m_wasSet(g_signalSet) {
    if (m_wasSet) unsetSignal();
}

ChildWatchPause::~ChildWatchPause() {
    if (m_wasSet) setSignal();
}

}  // namespace quill

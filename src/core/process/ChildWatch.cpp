#include "process/ChildWatch.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

#include "process/ChildProcess.h"
#include "process/PipeHandler.h"

namespace quill {
namespace {

std::atomic<int> g_childPipe{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads it");

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

ChildWatch::ChildWatch() = default;

ChildWatch::~ChildWatch() { end(); }

void ChildWatch::start() {
    if (!m_pipe) {
        m_pipe = PipeHandler::initWithFunction([this](int readFd, PipeHandler&) {
            char bytes[64];
            [[maybe_unused]] ssize_t n = ::read(readFd, bytes, sizeof bytes);
            reap();
        });
        if (!m_pipe) {
            reportSystemError("pipe");
            return;
        }
    }
    g_childPipe.store(m_pipe->writeFd());
    setAction(SIGCHLD, childExited, SA_RESTART | SA_NOCLDSTOP);
    setAction(SIGPIPE, SIG_IGN, 0);
    m_started = true;
    wake();
}

void ChildWatch::stop() {
    if (!m_started) return;
    setAction(SIGCHLD, SIG_DFL, 0);
    m_started = false;
}

void ChildWatch::end() {
    stop();
    if (m_pipe && g_childPipe.load() == m_pipe->writeFd()) g_childPipe.store(-1);
    m_pipe.reset();
}

void ChildWatch::add(pid_t pid, ExitReport report, bool important) {
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_watched[pid] = Entry{std::move(report), important};
    }
    wake();  // it may have ended before it was watched
}

void ChildWatch::forget(pid_t pid) {
    std::lock_guard<std::mutex> hold(m_mutex);
    auto it = m_watched.find(pid);
    if (it != m_watched.end() && !it->second.important) m_watched.erase(it);
}

void ChildWatch::forgetImportantPid(pid_t pid, int waitStatus) { finish(pid, waitStatus); }

pid_t ChildWatch::firstImportantPid() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    for (const auto& [pid, entry] : m_watched) {
        if (entry.important) return pid;
    }
    return -1;
}

void ChildWatch::reap() {
    std::vector<pid_t> pids;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        for (const auto& watched : m_watched) pids.push_back(watched.first);
    }
    for (pid_t pid : pids) {
        int status = 0;
        pid_t got;
        do {
            got = ::waitpid(pid, &status, WNOHANG);
        } while (got < 0 && errno == EINTR);
        if (got > 0) {
            finish(pid, status);
        } else if (got < 0) {
            std::lock_guard<std::mutex> hold(m_mutex);
            m_watched.erase(pid);  // collected elsewhere; its pid may come back for another child
        }
    }
}

void ChildWatch::finish(pid_t pid, int waitStatus) {
    ExitReport report;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        auto it = m_watched.find(pid);
        if (it == m_watched.end()) return;
        report = std::move(it->second.report);
        m_watched.erase(it);
    }
    if (report) report(waitStatus);
}

void ChildWatch::wake() {
    if (m_started) childExited(SIGCHLD);
}

}  // namespace quill

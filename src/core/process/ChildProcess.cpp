#include "process/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/Diagnostics.h"

namespace quill {
namespace {

// Blocks the broken-pipe signal in this thread while alive. A signal raised by
// our own write meanwhile is taken back before the old mask returns, so a
// reader that went away shows as EPIPE and never ends the application.
class BrokenPipeGuard {
  public:
    BrokenPipeGuard() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~BrokenPipeGuard() {
        if (m_raised && !m_wasPending) {
            timespec zero{0, 0};
            while (sigtimedwait(&m_pipe, nullptr, &zero) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    void noteBrokenPipe() { m_raised = true; }

  private:
    sigset_t m_pipe;
    sigset_t m_old;
    bool m_wasPending = false;
    bool m_raised = false;
};

// Writes what it can without blocking; answers the count, or -1 with errno.
ssize_t writeSome(int fd, const char* bytes, size_t size, BrokenPipeGuard& guard) {
    for (;;) {
        ssize_t n = ::write(fd, bytes, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EPIPE) guard.noteBrokenPipe();
        return -1;
    }
}

ssize_t readSome(int fd, char* buffer, size_t size) {
    for (;;) {
        ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

}  // namespace

CArgv::CArgv(std::vector<std::string> args) : m_args(std::move(args)) {
    for (auto& arg : m_args) m_pointers.push_back(arg.data());
    m_pointers.push_back(nullptr);
}

bool makePipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    return true;
}

void reportSystemError(const std::string& prefix) {
    int saved = errno;
    logRaw(prefix + ": " + std::strerror(saved) + "\n");
    errno = saved;
}

void redirectChild(int in, int out, int err, const sigset_t* mask) {
    // Copy above the standard three first, so a pipe end that happens to be
    // 0, 1 or 2 is not overwritten before it is moved.
    int wanted[3] = {in, out, err};
    int moved[3];
    for (int i = 0; i < 3; ++i) moved[i] = wanted[i] >= 0 ? ::fcntl(wanted[i], F_DUPFD, 3) : -1;
    for (int i = 0; i < 3; ++i) {
        if (moved[i] >= 0) ::dup2(moved[i], i);
    }
    ::closefrom(3);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(SIGPIPE, &dfl, nullptr);
    sigset_t empty;
    sigemptyset(&empty);
    ::sigprocmask(SIG_SETMASK, mask ? mask : &empty, nullptr);
}

void execChild(const CArgv& args, const char* prefix, int failStatus) {
    if (!args.empty()) ::execvp(args.program(), args.argv());
    childExecFailed(prefix, failStatus);
}

void childExecFailed(const char* prefix, int failStatus) {
    // Only async-signal-safe calls from here: the parent may have other threads.
    const char* reason = ::strerrordesc_np(errno);
    if (!reason) reason = "exec failed";
    const char* parts[] = {prefix, ": ", reason, "\n"};
    for (const char* part : parts) {
        [[maybe_unused]] ssize_t n = ::write(2, part, std::strlen(part));
    }
    ::_exit(failStatus);
}

pid_t waitForPid(pid_t pid, int* status, int options) {
    for (;;) {
        pid_t got = ::waitpid(pid, status, options);
        if (got >= 0 || errno != EINTR) return got;
    }
}

bool writeToPipe(int fd, std::string_view bytes) {
    BrokenPipeGuard guard;
    while (!bytes.empty()) {
        ssize_t n = writeSome(fd, bytes.data(), bytes.size(), guard);
        if (n < 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool feedAndDrain(UniqueFd feed, const InputPuller& readInput, UniqueFd drain,
                  const OutputPusher& writeOutput, size_t chunk, const char** failedCall) {
    BrokenPipeGuard guard;
    if (feed) ::fcntl(feed.get(), F_SETFL, ::fcntl(feed.get(), F_GETFL) | O_NONBLOCK);
    std::string pending;
    size_t sent = 0;
    std::string buffer(chunk, '\0');
    while (feed || drain) {
        if (feed && sent == pending.size()) {
            size_t n = readInput(buffer.data(), buffer.size());
            if (n == 0) {
                feed.reset();  // the child sees the end of its input
                continue;
            }
            pending.assign(buffer.data(), n);
            sent = 0;
        }
        pollfd fds[2] = {{feed.get(), POLLOUT, 0}, {drain.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            if (failedCall) *failedCall = "poll";
            return false;
        }
        if (fds[0].revents) {
            ssize_t n = writeSome(feed.get(), pending.data() + sent, pending.size() - sent, guard);
            if (n >= 0) {
                sent += static_cast<size_t>(n);
            } else if (errno != EAGAIN) {
                feed.reset();  // the reader is gone; what it did not take is dropped
            }
        }
        if (fds[1].revents) {
            ssize_t n = readSome(drain.get(), buffer.data(), buffer.size());
            if (n > 0) {
                writeOutput(buffer.data(), static_cast<size_t>(n));
            } else {
                drain.reset();
            }
        }
    }
    return true;
}

}  // namespace quill

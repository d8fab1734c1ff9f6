#include "process/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
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

void reportSystemError(const std::string& prefix) {
    int saved = errno;
    logRaw(prefix + ": " + std::strerror(saved) + "\n");
    errno = saved;
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

bool feedAndCollect(UniqueFd feed, std::string_view input, UniqueFd drain, std::string& output,
                    size_t chunk) {
    auto pull = [&input](char* buffer, size_t size) {
        size_t n = input.copy(buffer, size);
        input.remove_prefix(n);
        return n;
    };
    auto push = [&output](const char* bytes, size_t size) { output.append(bytes, size); };
    return feedAndDrain(std::move(feed), pull, std::move(drain), push, chunk, nullptr);
}

}  // namespace quill

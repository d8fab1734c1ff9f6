#include "process/DisplayFilter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <sstream>
#include <vector>

#include "base/FileHandles.h"

namespace quill {
namespace {

std::vector<std::string> splitWords(const std::string& command) {
    std::istringstream in(command);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void execChild(char* const* argv, int in, int out) {
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::close_range(3, ~0u, 0);
    ::execvp(argv[0], argv);
    ::_exit(1);
}

// A filter that stops reading early must not kill us with SIGPIPE.
class SigpipeBlock {
  public:
    SigpipeBlock() {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
    }
    ~SigpipeBlock() {
        timespec zero{};
        while (::sigtimedwait(&m_set, nullptr, &zero) > 0) {
        }
        ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }

  private:
    sigset_t m_set, m_old;
};

void pump(UniqueFd& toChild, UniqueFd& fromChild, std::string_view input, std::string& output) {
    char buf[65536];
    while (fromChild) {
        pollfd fds[2] = {{fromChild.get(), POLLIN, 0}, {toChild.get(), POLLOUT, 0}};
        int n = ::poll(fds, toChild ? 2 : 1, -1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        if (toChild && fds[1].revents) {
            ssize_t w = ::write(toChild.get(), input.data(),
                                std::min<std::size_t>(input.size(), sizeof buf));
            if (w > 0) input.remove_prefix(static_cast<std::size_t>(w));
            if ((w < 0 && errno != EINTR && errno != EAGAIN) || input.empty()) toChild.reset();
        }
        if (fds[0].revents) {
            ssize_t r = ::read(fromChild.get(), buf, sizeof buf);
            if (r > 0) output.append(buf, static_cast<std::size_t>(r));
            if (r == 0 || (r < 0 && errno != EINTR && errno != EAGAIN)) fromChild.reset();
        }
    }
}

}  // namespace

std::optional<std::string> runDisplayFilter(const std::string& command, std::string_view input) {
    std::vector<std::string> words = splitWords(command);
    int in[2], out[2];
    if (words.empty() || ::pipe2(in, O_CLOEXEC) != 0) return std::nullopt;
    UniqueFd inRead(in[0]), inWrite(in[1]);
    if (::pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
    UniqueFd outRead(out[0]), outWrite(out[1]);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    SigpipeBlock block;
    pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) execChild(argv.data(), inRead.get(), outWrite.get());
    inRead.reset();
    outWrite.reset();
    ::fcntl(inWrite.get(), F_SETFL, O_NONBLOCK);
    if (input.empty()) inWrite.reset();
    std::string output;
    pump(inWrite, outRead, input, output);
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return output;
}

}  // namespace quill

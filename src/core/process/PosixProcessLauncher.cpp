#include "process/PosixProcessLauncher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace quill {
namespace {

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The paths execvp would try for `name`, in its order.
std::vector<std::string> pathCandidates(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return {name};
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/bin:/usr/bin";
    std::vector<std::string> candidates;
    for (size_t start = 0;;) {
        size_t colon = dirs.find(':', start);
        std::string dir = dirs.substr(start, colon - start);
        candidates.push_back((dir.empty() ? "." : dir) + "/" + name);
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return candidates;
}

bool nameMatches(const char* entry, const std::string& change) {
    size_t length = change.find('=');
    if (length == std::string::npos) length = change.size();
    return std::strncmp(entry, change.data(), length) == 0 && entry[length] == '=';
}

// Our environment with the request's changes.
std::vector<std::string> changedEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        bool changed = false;
        for (const auto& change : changes) changed = changed || nameMatches(*entry, change);
        if (!changed) result.emplace_back(*entry);
    }
    for (const auto& change : changes) {
        if (change.find('=') != std::string::npos) result.push_back(change);
    }
    return result;
}

// Everything the child needs, made before fork so the child allocates nothing.
class ExecPlan {
  public:
    explicit ExecPlan(const LaunchRequest& request)
        : m_request(request),
          m_args(request.argv),
          m_argv(pointersTo(m_args)),
          m_candidates(request.program.empty()
                           ? pathCandidates(request.argv.empty() ? "" : request.argv[0])
                           : std::vector<std::string>{request.program}) {
        // A file without a #! line runs under the shell, as execvp does it.
        m_shellArgs = {"/bin/sh", ""};
        for (size_t i = 1; i < m_args.size(); ++i) m_shellArgs.push_back(m_args[i]);
        m_shellArgv = pointersTo(m_shellArgs);
        if (!request.environment.empty()) {
            m_env = changedEnvironment(request.environment);
            m_envp = pointersTo(m_env);
        }
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
            m_maxFd = static_cast<int>(limit.rlim_cur);
        }
    }

    [[noreturn]] void runChild(const int stdio[3]) {
        if (m_request.controllingTerminal >= 0) {
            ::setsid();
            ::ioctl(m_request.controllingTerminal, TIOCSCTTY, 0);
        } else {
            ::setpgid(0, 0);
        }
        moveStandardDescriptors(stdio);
        if (!m_request.directory.empty() && ::chdir(m_request.directory.c_str()) != 0) {
            ::_exit(failureStatus(errno));
        }
        resetSignals();
        execute(m_envp.empty() ? environ : m_envp.data());
        fail();
    }

  private:
    void moveStandardDescriptors(const int stdio[3]) {
        // Copy above the standard three first, so a descriptor that happens to
        // be 0, 1 or 2 is not overwritten before it is moved.
        int moved[3];
        for (int i = 0; i < 3; ++i) moved[i] = stdio[i] >= 0 ? ::fcntl(stdio[i], F_DUPFD, 3) : -1;
        for (int i = 0; i < 3; ++i) {
            if (moved[i] >= 0) ::dup2(moved[i], i);
        }
        if (::close_range(3, ~0u, 0) != 0) {
            for (int fd = 3; fd < m_maxFd; ++fd) ::close(fd);
        }
    }

    // Handlers of ours would run in the child until exec: every caught signal
    // goes back to its default, broken pipes too, and nothing stays blocked.
    static void resetSignals() {
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        for (int sig = 1; sig < NSIG; ++sig) {
            struct sigaction old {};
            if (::sigaction(sig, nullptr, &old) != 0) continue;
            bool caught = old.sa_handler != SIG_DFL && old.sa_handler != SIG_IGN;
            if (caught || sig == SIGPIPE) ::sigaction(sig, &dfl, nullptr);
        }
        sigset_t empty;
        sigemptyset(&empty);
        ::sigprocmask(SIG_SETMASK, &empty, nullptr);
    }

    void execute(char* const* envp) {
        bool denied = false;
        for (auto& candidate : m_candidates) {
            ::execve(candidate.c_str(), m_argv.data(), envp);
            if (errno == ENOEXEC) {
                m_shellArgv[1] = candidate.data();
                ::execve("/bin/sh", m_shellArgv.data(), envp);
                return;
            }
            if (errno == EACCES) {
                denied = true;
            } else if (errno != ENOENT && errno != ENOTDIR && errno != ESTALE && errno != ENODEV &&
                       errno != ETIMEDOUT) {
                return;
            }
        }
        errno = denied ? EACCES : ENOENT;
    }

    int failureStatus(int error) const {
        return m_request.failureStatus == kExitWithErrno ? 128 + error : m_request.failureStatus;
    }

    [[noreturn]] void fail() {
        int error = errno;
        if (!m_request.failureLabel.empty()) {
            const char* reason = ::strerrordesc_np(errno);
            const char* parts[] = {m_request.failureLabel.c_str(), ": ",
                                   reason ? reason : "exec failed", "\n"};
            for (const char* part : parts) {
                [[maybe_unused]] ssize_t n = ::write(2, part, std::strlen(part));
            }
        }
        ::_exit(failureStatus(error));
    }

    const LaunchRequest& m_request;
    std::vector<std::string> m_args;
    std::vector<char*> m_argv;
    std::vector<std::string> m_candidates;
    std::vector<std::string> m_shellArgs;
    std::vector<char*> m_shellArgv;
    std::vector<std::string> m_env;
    std::vector<char*> m_envp;
    int m_maxFd = 1024;
};

// The child's ends of the pipes asked for, and the descriptors it gets.
struct Streams {
    UniqueFd childEnds[3];
    int stdio[3] = {-1, -1, -1};
};

bool makeStreams(const LaunchRequest& request, Streams& streams, LaunchedChild& child) {
    UniqueFd* ours[3] = {&child.input, &child.output, &child.error};
    for (int i = 0; i < 3; ++i) {
        int wanted = request.stdio[i];
        if (wanted == kPipeStream) {
            int fds[2];
            if (::pipe2(fds, O_CLOEXEC) != 0) return false;
            bool childReads = i == 0;
            streams.childEnds[i].reset(fds[childReads ? 0 : 1]);
            ours[i]->reset(fds[childReads ? 1 : 0]);
            streams.stdio[i] = streams.childEnds[i].get();
        } else if (wanted == kJoinOutput) {
            streams.stdio[i] = streams.stdio[1] >= 0 ? streams.stdio[1] : 1;
        } else {
            streams.stdio[i] = wanted;
        }
    }
    return true;
}

// Blocks every signal in this thread while alive, so no handler of ours runs
// in a child before it has reset them.
class AllSignalsBlocked {
  public:
    AllSignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &m_old);
    }
    ~AllSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    AllSignalsBlocked(const AllSignalsBlocked&) = delete;
    AllSignalsBlocked& operator=(const AllSignalsBlocked&) = delete;

  private:
    sigset_t m_old;
};

}  // namespace

LaunchedChild PosixProcessLauncher::launch(const LaunchRequest& request) {
    LaunchedChild child;
    Streams streams;
    if (!makeStreams(request, streams, child)) return LaunchedChild();
    ExecPlan plan(request);
    pid_t pid;
    {
        AllSignalsBlocked blocked;
        pid = ::fork();
        if (pid == 0) plan.runChild(streams.stdio);
    }
    if (pid < 0) return LaunchedChild();
    // Also here, so that a signal to the group can never miss it.
    if (request.controllingTerminal < 0) ::setpgid(pid, pid);
    child.pid = pid;
    return child;
}

int PosixProcessLauncher::wait(pid_t pid) {
    int status = 0;
    pid_t got;
    do {
        got = ::waitpid(pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return -1;
    m_watch.forget(pid);
    return status;
}

int PosixProcessLauncher::tryWait(pid_t pid, int& status) {
    pid_t got;
    do {
        got = ::waitpid(pid, &status, WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return got;
    m_watch.forget(pid);
    return 1;
}

void PosixProcessLauncher::watchExit(pid_t pid, ExitReport report) {
    m_watch.watch(pid, std::move(report));
}

void PosixProcessLauncher::watchDelivery(pid_t pid, ExitReport report) {
    m_watch.rememberImportantPid(pid, std::move(report));
}

void PosixProcessLauncher::signalGroup(pid_t pid, int signo) {
    if (pid > 0) ::kill(-pid, signo);
}

}  // namespace quill

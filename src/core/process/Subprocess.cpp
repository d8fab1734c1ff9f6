#include "process/Subprocess.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <ctime>

#include "base/Diagnostics.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "process/ChildProcess.h"

namespace quill {
namespace {

// How long an ended output may run ahead of the shell's exit: the kernel
// closes a dying process's descriptors just before it becomes collectable.
constexpr int kExitGraceSteps = 50;
constexpr long kExitGraceStepNs = 5'000'000;

// The line settings the command sees on its terminal: canonical input without
// echo, carriage returns taken as newlines, the usual control characters.
void setTerminalModes(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return;
    t.c_iflag = ICRNL | IXON;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS8 | CREAD;
    t.c_lflag = ICANON | ISIG | IEXTEN | ECHOE | ECHOKE | ECHOCTL | PENDIN;
    struct ControlChar {
        int index;
        cc_t value;
    };
    static const ControlChar kChars[] = {
        {VERASE, 127}, {VKILL, 21},    {VINTR, 3},     {VQUIT, 28},
        {VSTART, 17},  {VSTOP, 19},    {VEOF, 4},      {VEOL, _POSIX_VDISABLE},
        {VSUSP, 26},   {VREPRINT, 18}, {VDISCARD, 15}, {VWERASE, 23},
        {VLNEXT, 22},
    };
    for (const auto& c : kChars) t.c_cc[c.index] = c.value;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(fd, TCSANOW, &t);
}

// The exit code of a child that was just seen to end, waiting a moment for it
// to become collectable; 127 when it cannot be had.
int collectExitStatus(pid_t pid) {
    int status = 0;
    for (int step = 0;; ++step) {
        pid_t got = waitForPid(pid, &status, WNOHANG);
        if (got > 0) return (status >> 8) & 0xff;
        if (got < 0) {
            reportSystemError("waitpid");
            return 127;
        }
        if (step == kExitGraceSteps) break;
        timespec pause{0, kExitGraceStepNs};
        ::nanosleep(&pause, nullptr);
    }
    logRaw("child not dead when waited4 in Subprocess\n");
    return 127;
}

}  // namespace

void SubprocessDelegate::subprocessOutput(Subprocess&, const char*) {}
void SubprocessDelegate::subprocessExit(Subprocess&, int) {}
bool SubprocessDelegate::subprocessError(Subprocess&, const std::string&) { return false; }

std::unique_ptr<Subprocess> Subprocess::init(const std::string& command,
                                             SubprocessDelegate* delegate, bool ptySupport,
                                             bool stdErr) {
    std::unique_ptr<Subprocess> subprocess(new Subprocess);
    subprocess->m_delegate = delegate;
    subprocess->start(command, ptySupport, stdErr);
    return subprocess;
}

Subprocess::~Subprocess() {
    if (m_loop) m_loop->unwatch(m_watch);
}

void Subprocess::start(const std::string& command, bool ptySupport, bool stdErr) {
    UniqueFd fromChildRead, fromChildWrite, toChildRead, toChildWrite;
    if (ptySupport) {
        if (!openPseudoTerminal()) {
            showError("Error grabbing ptys for subprocess.");
            return;
        }
    } else if (!makePipe(fromChildRead, fromChildWrite) || !makePipe(toChildRead, toChildWrite)) {
        showError("Error starting UNIX pipes to subprocess.");
        return;
    }
    CArgv shell({"sh", "-c", command});
    pid_t pid = ::fork();
    if (pid < 0) {
        showError("Error starting UNIX fork1 of subprocess.");
        return;
    }
    if (pid == 0) {
        if (ptySupport) {
            // A session of its own makes the terminal its controlling terminal.
            ::setsid();
            ::ioctl(m_slavePty.get(), TIOCSCTTY, 0);
            int slave = m_slavePty.get();
            redirectChild(slave, slave, stdErr ? slave : -1, nullptr);
        } else {
            ::setpgid(0, 0);
            int out = fromChildWrite.get();
            redirectChild(toChildRead.get(), out, stdErr ? out : -1, nullptr);
        }
        ::execv("/bin/sh", shell.argv());
        childExecFailed("vfork (child)", 1);
    }
    if (!ptySupport) ::setpgid(pid, pid);  // also here, so terminate() can never miss the group
    m_childPid = pid;
    if (ptySupport) {
        m_slavePty.reset();
        m_toChild.reset(::fcntl(m_masterPty.get(), F_DUPFD_CLOEXEC, 0));
        m_fromChild = std::move(m_masterPty);
    } else {
        m_toChild = std::move(toChildWrite);
        m_fromChild = std::move(fromChildRead);
    }
    m_loop = &runLoop();
    int fd = m_fromChild.get();
    m_watch = m_loop->watchReadable(fd, [this, fd] { fdHandler(fd); });
}

bool Subprocess::openPseudoTerminal() {
    m_masterPty.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    char name[128];
    if (!m_masterPty || ::grantpt(m_masterPty.get()) != 0 || ::unlockpt(m_masterPty.get()) != 0 ||
        ::ptsname_r(m_masterPty.get(), name, sizeof name) != 0) {
        m_masterPty.reset();
        return false;
    }
    m_slavePty = openFile(name, O_RDWR | O_NOCTTY);
    if (!m_slavePty) {
        m_masterPty.reset();
        return false;
    }
    setTerminalModes(m_slavePty.get());
    return true;
}

void Subprocess::sendWithNewline(std::string_view text, bool newline) {
    if (!m_toChild) return;
    std::string bytes(text);
    if (newline) bytes += '\n';
    writeToPipe(m_toChild.get(), bytes);
}

void Subprocess::sendFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformatString(format, args);
    va_end(args);
    sendWithNewline(text, false);
}

void Subprocess::terminateInput() {
    if (!m_toChild) return;
    // On a terminal our input end is a copy of the master, so closing it is no
    // end of file for the command: type the end-of-file character instead.
    if (m_fromChild && m_toChild.get() != m_fromChild.get() && ::isatty(m_toChild.get())) {
        writeToPipe(m_toChild.get(), "\004");
    }
    if (m_toChild.close() != 0) reportSystemError("close");
}

void Subprocess::terminate() {
    if (m_childPid != 0) ::kill(-m_childPid, SIGTERM);
}

void Subprocess::fdHandler(int fd) {
    ssize_t n;
    do {
        n = ::read(fd, m_outputBuffer, kOutputBufferSize - 1);
    } while (n < 0 && errno == EINTR);
    m_bufferCount = static_cast<int>(n);
    if (n > 0) {
        m_outputBuffer[n] = '\0';
        if (m_delegate) m_delegate->subprocessOutput(*this, m_outputBuffer);
    } else {
        childDidExit();
    }
}

void Subprocess::childDidExit() {
    if (m_childPid == 0) return;
    m_loop->unwatch(m_watch);
    m_loop = nullptr;
    m_fromChild.reset();
    terminateInput();
    int status = collectExitStatus(m_childPid);
    m_childPid = 0;
    // Last: the delegate may destroy this subprocess.
    if (m_delegate) m_delegate->subprocessExit(*this, status);
}

void Subprocess::showError(const std::string& message) {
    if (m_delegate && m_delegate->subprocessError(*this, message)) return;
    runAlert(nullptr, "%s", "OK", nullptr, nullptr, localized(kAlertsTable, message).c_str());
}

}  // namespace quill

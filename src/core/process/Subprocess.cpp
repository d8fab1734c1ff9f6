#include "process/Subprocess.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
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

}  // namespace

// The exit code of a child that was just seen to end, waiting a moment for it
// to become collectable; 127 when it cannot be had.
int Subprocess::collectExitStatus() {
    int status = 0;
    for (int step = 0;; ++step) {
        int got = m_launcher.tryWait(m_childPid, status);
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

void SubprocessDelegate::subprocessOutput(Subprocess&, const char*) {}
void SubprocessDelegate::subprocessExit(Subprocess&, int) {}
bool SubprocessDelegate::subprocessError(Subprocess&, const std::string&) { return false; }

std::unique_ptr<Subprocess> Subprocess::init(ProcessLauncher& launcher, const std::string& command,
                                             SubprocessDelegate* delegate, bool ptySupport,
                                             bool stdErr) {
    std::unique_ptr<Subprocess> subprocess(new Subprocess(launcher));
    subprocess->m_delegate = delegate;
    subprocess->start(command, ptySupport, stdErr);
    return subprocess;
}

Subprocess::~Subprocess() {
    if (m_loop) m_loop->unwatch(m_watch);
}

void Subprocess::start(const std::string& command, bool ptySupport, bool stdErr) {
    if (ptySupport && !openPseudoTerminal()) {
        showError("Error grabbing ptys for subprocess.");
        return;
    }
    LaunchRequest request;
    request.program = "/bin/sh";
    request.argv = {"sh", "-c", command};
    request.failureLabel = "vfork (child)";
    request.failureStatus = 1;
    if (ptySupport) {
        // A session of its own makes the terminal its controlling terminal.
        int slave = m_slavePty.get();
        request.controllingTerminal = slave;
        request.stdio[0] = request.stdio[1] = slave;
        request.stdio[2] = stdErr ? slave : kInheritStream;
    } else {
        request.stdio[0] = request.stdio[1] = kPipeStream;
        request.stdio[2] = stdErr ? kJoinOutput : kInheritStream;
    }
    LaunchedChild child = m_launcher.launch(request);
    if (!child.started()) {
        bool noPipes = !ptySupport && (errno == EMFILE || errno == ENFILE);
        showError(noPipes ? "Error starting UNIX pipes to subprocess."
                          : "Error starting UNIX fork1 of subprocess.");
        return;
    }
    m_childPid = child.pid;
    if (ptySupport) {
        m_slavePty.reset();
        m_toChild.reset(::fcntl(m_masterPty.get(), F_DUPFD_CLOEXEC, 0));
        m_fromChild = std::move(m_masterPty);
    } else {
        m_toChild = std::move(child.input);
        m_fromChild = std::move(child.output);
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
    if (m_childPid != 0) m_launcher.signalGroup(m_childPid, SIGTERM);
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
    int status = collectExitStatus();
    m_childPid = 0;
    // Last: the delegate may destroy this subprocess.
    if (m_delegate) m_delegate->subprocessExit(*this, status);
}

void Subprocess::showError(const std::string& message) {
    if (m_delegate && m_delegate->subprocessError(*this, message)) return;
    runAlert(nullptr, "%s", "OK", nullptr, nullptr, localized(kAlertsTable, message).c_str());
}

}  // namespace quill

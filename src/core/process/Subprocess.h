// Subprocess: one shell command run with its input and output on pipes (or on
// a pseudo-terminal), its output and its end reported to a delegate from the
// run loop, modal waits included. The command runs in a process group of its
// own, so terminate() reaches what the shell started and nothing else. The
// command is collected here, never by the child-exit watch.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>

#include "base/FileHandles.h"
#include "platform/RunLoop.h"
#include "process/ProcessLauncher.h"

namespace quill {

class Subprocess;

// Every call is optional: the defaults do nothing.
class SubprocessDelegate {
  public:
    virtual ~SubprocessDelegate() = default;
    // A chunk of output: whatever one read answered, at most 2047 bytes, NUL
    // terminated, valid only during the call. Lines may be split across chunks.
    virtual void subprocessOutput(Subprocess& subprocess, const char* output);
    // The command ended: its exit code, or 127 when that could not be collected.
    // The delegate may destroy the subprocess here.
    virtual void subprocessExit(Subprocess& subprocess, int status);
    // A start failure; answer true when handled here, false to have it shown in an alert.
    virtual bool subprocessError(Subprocess& subprocess, const std::string& message);
};

class Subprocess {
  public:
    static constexpr size_t kOutputBufferSize = 2048;

    // Starts `command` with "/bin/sh -c" at once. Terminal mode runs it on a
    // pseudo-terminal; `stdErr` joins its standard error to its output. A start
    // that fails is reported (see SubprocessDelegate::subprocessError) and
    // leaves a subprocess that never reports output or exit.
    static std::unique_ptr<Subprocess> init(ProcessLauncher& launcher, const std::string& command,
                                            SubprocessDelegate* delegate = nullptr,
                                            bool ptySupport = false, bool stdErr = true);
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // Writes text, then a newline when asked; the child has it at once.
    void sendWithNewline(std::string_view text, bool newline);
    void send(std::string_view text) { sendWithNewline(text, true); }
    void sendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Closes our end of the child's input, once; the child sees end of file.
    void terminateInput();
    // Asks the running command (its whole process group) to stop with SIGTERM.
    void terminate();

    void setDelegate(SubprocessDelegate* delegate) { m_delegate = delegate; }
    SubprocessDelegate* delegate() const { return m_delegate; }

    pid_t childPid() const { return m_childPid; }
    int toChild() const { return m_toChild.get(); }
    bool running() const { return m_childPid != 0; }

  private:
    explicit Subprocess(ProcessLauncher& launcher) : m_launcher(launcher) {}
    void start(const std::string& command, bool ptySupport, bool stdErr);
    int collectExitStatus();
    bool openPseudoTerminal();
    void fdHandler(int fd);
    void childDidExit();
    void showError(const std::string& message);

    ProcessLauncher& m_launcher;
    UniqueFd m_toChild;
    UniqueFd m_fromChild;
    pid_t m_childPid = 0;
    SubprocessDelegate* m_delegate = nullptr;
    UniqueFd m_masterPty;
    UniqueFd m_slavePty;
    RunLoop* m_loop = nullptr;
    RunLoop::Id m_watch = 0;
    int m_bufferCount = 0;
    char m_outputBuffer[kOutputBufferSize] = {};
};

}  // namespace quill

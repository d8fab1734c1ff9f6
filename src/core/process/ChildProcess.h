// ChildProcess: the pieces every way of starting a program shares. An argument
// list is made into C form before fork, because a forked child of a threaded
// program may only make async-signal-safe calls; the child side moves its pipes
// onto the standard descriptors, closes everything else, restores the signal
// state the parent borrowed and executes. Pipes are written without a broken
// pipe killing the application, and fed and drained together so that neither
// side waits for the other.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileHandles.h"

namespace quill {

// An argument list in the form execvp wants, owning its strings.
class CArgv {
  public:
    explicit CArgv(std::vector<std::string> args);
    CArgv(const CArgv&) = delete;
    CArgv& operator=(const CArgv&) = delete;

    char* const* argv() const { return m_pointers.data(); }
    const char* program() const { return m_pointers.empty() ? "" : m_pointers[0]; }
    bool empty() const { return m_args.empty(); }

  private:
    std::vector<std::string> m_args;
    std::vector<char*> m_pointers;
};

// A pipe whose ends are both close-on-exec; false with errno set on failure.
bool makePipe(UniqueFd& readEnd, UniqueFd& writeEnd);

// Writes "prefix: <system's text for errno>\n" as the C library's error printer does.
void reportSystemError(const std::string& prefix);

// Child side, between fork and exec. Puts `in` on 0, `out` on 1 and `err` on 2
// (a negative value keeps what is there), closes every descriptor from 3 up,
// sets the default broken-pipe action and the signal mask `mask` (null: empty).
void redirectChild(int in, int out, int err, const sigset_t* mask);
// Child side: executes argv with a PATH search; on failure writes
// "<prefix>: <reason>\n" to standard error and ends with `failStatus`.
[[noreturn]] void execChild(const CArgv& args, const char* prefix, int failStatus);
// Child side, after a failed exec: the same report and end.
[[noreturn]] void childExecFailed(const char* prefix, int failStatus);

// Retries waitpid on EINTR; answers its result.
pid_t waitForPid(pid_t pid, int* status, int options);

// Writes every byte to a pipe. A reader that went away makes it answer false
// with errno EPIPE instead of raising the broken-pipe signal.
bool writeToPipe(int fd, std::string_view bytes);

// Pumps data through a child: pulls input with `readInput` (answers the bytes
// it put into the buffer, 0 at the end) and writes it to `feed`, while reading
// `drain` to its end and handing each piece to `writeOutput`. Either descriptor
// may be invalid. Both are closed when done. A reader that stops taking input
// ends the feeding, not the drain. Answers false (errno set, `failedCall` names
// the call) only when waiting on the descriptors fails.
using InputPuller = std::function<size_t(char* buffer, size_t size)>;
using OutputPusher = std::function<void(const char* bytes, size_t size)>;
bool feedAndDrain(UniqueFd feed, const InputPuller& readInput, UniqueFd drain,
                  const OutputPusher& writeOutput, size_t chunk, const char** failedCall);

}  // namespace quill

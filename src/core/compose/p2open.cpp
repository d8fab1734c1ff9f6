#include "compose/p2open.h"

#include <signal.h>
#include <unistd.h>

#include <unordered_map>

#include "compose/ChildProcess.h"

namespace quill {
namespace {

// The command started for each read descriptor p2open handed out.
std::unordered_map<int, pid_t>& p2openPids() {
    static std::unordered_map<int, pid_t> table;
    return table;
}

}  // namespace

int p2open(const std::string& command, std::FILE** readStream, std::FILE** writeStream) {
    UniqueFd fromChildRead, fromChildWrite, toChildRead, toChildWrite;
    if (!makePipe(fromChildRead, fromChildWrite) || !makePipe(toChildRead, toChildWrite)) return 0;
    CArgv shell({"sh", "-c", command});
    pid_t pid = ::fork();
    if (pid == 0) {
        int out = fromChildWrite.get();
        redirectChild(toChildRead.get(), out, out, nullptr);
        ::execv("/bin/sh", shell.argv());
        childExecFailed("sh", 127);
    }
    if (pid < 0) return 0;
    std::FILE* in = ::fdopen(fromChildRead.get(), "r");
    std::FILE* out = in ? ::fdopen(toChildWrite.get(), "w") : nullptr;
    if (!out) {
        // No stream, no way to reach the command: end it and leave nothing behind.
        if (in) {
            fromChildRead.release();
            std::fclose(in);
        }
        ::kill(pid, SIGTERM);
        int status;
        waitForPid(pid, &status, 0);
        return 0;
    }
    p2openPids()[fromChildRead.release()] = pid;
    toChildWrite.release();
    *readStream = in;
    *writeStream = out;
    return 1;
}

int p2close(std::FILE* readStream) {
    if (!readStream) return -1;
    auto it = p2openPids().find(::fileno(readStream));
    if (it == p2openPids().end()) return -1;
    pid_t pid = it->second;
    p2openPids().erase(it);
    sigset_t hold, old;
    sigemptyset(&hold);
    sigaddset(&hold, SIGINT);
    sigaddset(&hold, SIGQUIT);
    sigaddset(&hold, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &hold, &old);
    // Closed before the wait, so a command still writing gets a broken pipe
    // instead of waiting for a reader forever.
    std::fclose(readStream);
    int status = 0;
    pid_t got = waitForPid(pid, &status, 0);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return got == pid ? status : -1;
}

}  // namespace quill

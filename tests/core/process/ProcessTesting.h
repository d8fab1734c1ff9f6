// Helpers for tests that start real (fake) programs: a launcher over a watch
// of its own, modal waits on the run loop, and questions about a process's
// state that do not reap it.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>

#include "platform/RunLoop.h"
#include "process/PosixProcessLauncher.h"

namespace quill::test {

// Serves the run loop until done() holds, looking again at least every 10 ms
// for conditions no event announces; the limit only keeps a broken test from hanging.
inline bool serveUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 3000 && !done(); ++i) {
        runLoop().runUntil(done, std::chrono::milliseconds(10));
    }
    return done();
}

// The state letter of /proc/<pid>/stat ('Z' for an uncollected child), or 0 when gone.
inline char processState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    size_t paren = line.rfind(')');
    return paren + 2 < line.size() ? line[paren + 2] : 0;
}

// Ended: gone, or waiting to be collected.
inline bool processEnded(pid_t pid) {
    char state = processState(pid);
    return state == 0 || state == 'Z' || state == 'X';
}

// The POSIX launcher with a child-exit watch of its own, ended with the test.
struct RealLauncher {
    ~RealLauncher() { watch.end(); }
    ChildWatch watch;
    PosixProcessLauncher launcher{watch};
};

// A child running "sh -c command" with our standard input and output.
inline pid_t startShell(ProcessLauncher& launcher, const std::string& command) {
    LaunchRequest request;
    request.argv = {"sh", "-c", command};
    return launcher.launch(request).pid;
}

}  // namespace quill::test

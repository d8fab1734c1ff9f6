#include "support/FakeProcessLauncher.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "platform/RunLoop.h"

namespace quill::test {
namespace {

// A file in memory stands in for a pipe: writes never block, reads end at its end.
UniqueFd memoryFile(const std::string& bytes) {
    UniqueFd fd(::memfd_create("fake-pipe", MFD_CLOEXEC));
    if (fd && (!writeAll(fd.get(), bytes) || ::lseek(fd.get(), 0, SEEK_SET) != 0)) fd.reset();
    return fd;
}

std::string readFrom(int fd, off_t offset) {
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::pread(fd, buffer, sizeof buffer, offset)) > 0; offset += n) {
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

}  // namespace

void FakeProcessLauncher::script(std::string output, int exitCode) {
    m_scripts.emplace_back(std::move(output), exitCode);
}

LaunchedChild FakeProcessLauncher::launch(const LaunchRequest& request) {
    if (m_failWith != 0) {
        errno = std::exchange(m_failWith, 0);
        return LaunchedChild();
    }
    std::pair<std::string, int> script;
    if (!m_scripts.empty()) {
        script = std::move(m_scripts.front());
        m_scripts.erase(m_scripts.begin());
    }
    LaunchedChild child;
    child.pid = m_nextPid++;
    Running running{m_launches.size(), script.second, UniqueFd()};
    m_launches.push_back({request, child.pid, ""});
    if (request.stdio[0] == kPipeStream) {
        child.input = memoryFile("");
        running.input.reset(::fcntl(child.input.get(), F_DUPFD_CLOEXEC, 0));
    } else if (request.stdio[0] >= 0) {
        m_launches.back().input =
            readFrom(request.stdio[0], ::lseek(request.stdio[0], 0, SEEK_CUR));
    }
    if (request.stdio[1] == kPipeStream) {
        child.output = memoryFile(script.first);
    } else if (request.stdio[1] >= 0) {
        writeAll(request.stdio[1], script.first);
    }
    if (request.stdio[2] == kPipeStream) child.error = memoryFile("");
    m_running.emplace(child.pid, std::move(running));
    return child;
}

int FakeProcessLauncher::collect(pid_t pid) {
    auto it = m_running.find(pid);
    if (it == m_running.end()) {
        errno = ECHILD;
        return -1;
    }
    if (it->second.input) m_launches[it->second.launch].input = readFrom(it->second.input.get(), 0);
    int status = it->second.exitCode << 8;
    m_running.erase(it);
    return status;
}

int FakeProcessLauncher::wait(pid_t pid) { return collect(pid); }

int FakeProcessLauncher::tryWait(pid_t pid, int& status) {
    status = collect(pid);
    return status < 0 ? -1 : 1;
}

void FakeProcessLauncher::watchExit(pid_t pid, ExitReport report) {
    runLoop().post([this, pid, report = std::move(report)] {
        int status = collect(pid);
        if (report && status >= 0) report(status);
    });
}

}  // namespace quill::test

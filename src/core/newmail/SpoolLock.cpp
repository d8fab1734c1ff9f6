#include "newmail/SpoolLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <thread>

#include "base/Diagnostics.h"
#include "newmail/IncomingFiles.h"
#include "process/RunCommand.h"

namespace quill {
namespace {

constexpr std::time_t kStaleSeconds = 5 * 60;

std::string& dotlockProgram() {
    static std::string path = "/usr/bin/dotlockfile";
    return path;
}

std::string directoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int SpoolLock::runDotlockProgram(const char* option) {
    return RunCommand(m_launcher)
        .runPipe({{"env", "MAIL=" + m_path, dotlockProgram(), option, "-r", "0", "-q", "-m"}},
                 nullptr, nullptr);
}

void SpoolLock::setDotlockProgram(std::string path) { dotlockProgram() = std::move(path); }

bool staleDotLock(const std::string& lockPath) {
    std::string content;
    struct stat st;
    if (!readFile(lockPath, content) || ::stat(lockPath.c_str(), &st) != 0) return false;
    long pid = std::strtol(content.c_str(), nullptr, 10);
    if (pid > 0) return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    return std::time(nullptr) - st.st_mtime > kStaleSeconds;
}

// link(2) is atomic even over NFS, where O_EXCL is not: a private file with
// our pid is linked to the lock name, and the link count tells whether it took.
bool SpoolLock::takeDotLock() {
    std::string dir = directoryOf(m_path);
    if (::access(dir.c_str(), W_OK) != 0) {
        m_viaHelper = true;
        m_haveDotLock = runDotlockProgram("-l") == 0;
        return m_haveDotLock;
    }
    std::string mine = formatString("%s.%d.%ld", m_lockPath.c_str(), static_cast<int>(::getpid()),
                                    static_cast<long>(std::time(nullptr)));
    {
        UniqueFd fd = openFile(mine, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (!fd || !writeAll(fd.get(), formatString("%d\n", static_cast<int>(::getpid())))) {
            ::unlink(mine.c_str());
            return false;
        }
    }
    for (int attempt = 0; attempt < 2 && !m_haveDotLock; ++attempt) {
        ::link(mine.c_str(), m_lockPath.c_str());
        struct stat st;
        m_haveDotLock = ::stat(mine.c_str(), &st) == 0 && st.st_nlink == 2;
        if (!m_haveDotLock && staleDotLock(m_lockPath)) ::unlink(m_lockPath.c_str());
    }
    ::unlink(mine.c_str());
    return m_haveDotLock;
}

void SpoolLock::dropDotLock() {
    if (!m_haveDotLock) return;
    if (m_viaHelper) {
        runDotlockProgram("-u");
    } else {
        ::unlink(m_lockPath.c_str());
    }
    m_haveDotLock = false;
}

std::unique_ptr<SpoolLock> SpoolLock::tryLock(const std::string& spool, ProcessLauncher& launcher) {
    std::unique_ptr<SpoolLock> lock(new SpoolLock(launcher));
    lock->m_path = spool;
    lock->m_lockPath = spool + ".lock";
    if (!lock->takeDotLock()) return nullptr;
    lock->m_spool = openFile(spool, O_RDWR | O_CREAT, 0600);
    if (!lock->m_spool || !lockWholeFile(lock->m_spool.get(), false)) return nullptr;
    return lock;
}

std::unique_ptr<SpoolLock> SpoolLock::lock(const std::string& spool,
                                           std::chrono::milliseconds patience,
                                           ProcessLauncher& launcher) {
    auto deadline = std::chrono::steady_clock::now() + patience;
    std::chrono::milliseconds pause{50};
    for (;;) {
        if (auto lock = tryLock(spool, launcher)) return lock;
        if (std::chrono::steady_clock::now() + pause > deadline) return nullptr;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(2000));
    }
}

SpoolLock::~SpoolLock() {
    m_spool.reset();  // the record lock goes with the descriptor
    dropDotLock();
}

}  // namespace quill

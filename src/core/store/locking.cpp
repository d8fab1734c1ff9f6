#include "store/locking.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Diagnostics.h"
#include "message/fieldutil.h"
#include "store/MailContext.h"

namespace quill {
namespace {

constexpr std::size_t kMaxLockLine = 1023;

std::string hostName() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

// A lock whose holder is this host and user but whose process is gone.
bool isStale(const std::string& host, const std::string& user, pid_t pid) {
    return host == hostName() && user == getRealName() && pid > 0 && ::kill(pid, 0) != 0 &&
           errno == ESRCH;
}

// Exclusive, non-blocking, from the current position to the end of the file.
// Open-file-description locks conflict with other programs' record locks and,
// unlike process locks, are not dropped when another descriptor of the same
// file is closed, nor shared between two mailboxes of one process.
int lockToEnd(int fd) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_CUR;
    int rc;
    do {
        rc = ::fcntl(fd, F_OFD_SETLK, &fl);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 && errno == EINVAL) rc = ::fcntl(fd, F_SETLK, &fl);
    return rc;
}

bool onNfs(int fd, bool& known) {
    struct statfs fs;
    known = ::fstatfs(fd, &fs) == 0;
    return known && fs.f_type == NFS_SUPER_MAGIC;
}

// Whether another holder has a record lock on the file. Asked through a
// read-only descriptor, so that a held mailbox is never opened for writing.
bool lockedByAnother(const std::string& path) {
    UniqueFd fd = openFile(path, O_RDONLY);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    bool known = false;
    if (!fd || onNfs(fd.get(), known) || ::fcntl(fd.get(), F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

}  // namespace

std::string lockFileContent() {
    return formatString("%s,%s,%d", hostName().c_str(), getRealName().c_str(),
                        static_cast<int>(::getpid()));
}

bool writeLock(const std::string& lockPath) {
    mode_t old = ::umask(0);
    UniqueFd fd = openFile(lockPath, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ::umask(old);
    return fd && writeAll(fd.get(), lockFileContent());
}

namespace {

// Whether the lock file at `lockPath` may be replaced: a stale one is removed,
// a live holder's only when `mayBreak` agrees.
template <typename MayBreak>
bool takeOver(const std::string& path, const std::string& lockPath, MayBreak mayBreak) {
    std::string text;
    if (!readFile(lockPath, text)) return false;
    text = text.substr(0, std::min(text.find('\n'), kMaxLockLine));
    std::size_t first = text.find(',');
    if (first == std::string::npos) return true;
    std::size_t second = text.find(',', first + 1);
    std::string host = text.substr(0, first);
    std::string user = text.substr(
        first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (second != std::string::npos &&
        isStale(host, user, static_cast<pid_t>(std::atoi(text.c_str() + second + 1)))) {
        ::unlink(lockPath.c_str());
        return true;
    }
    if (!mayBreak(LockHolder{path, user, host})) return false;
    ::unlink(lockPath.c_str());
    return true;
}

template <typename MayBreak>
bool lockWith(const std::string& path, bool& wroteLock, MayBreak mayBreak) {
    std::string lockPath = path + "/.lock";
    wroteLock = false;
    if (::access(lockPath.c_str(), F_OK) == 0 && !takeOver(path, lockPath, mayBreak)) return false;
    wroteLock = writeLock(lockPath);
    return true;
}

}  // namespace

bool checkLock(const std::string& path, const std::string& lockPath, const MailContext& context) {
    return takeOver(path, lockPath,
                    [&](const LockHolder& holder) { return context.mayBreakLock(holder); });
}

bool lockMailbox(const std::string& path, bool& wroteLock, const MailContext& context) {
    return lockWith(path, wroteLock,
                    [&](const LockHolder& holder) { return context.mayBreakLock(holder); });
}

bool lockMailboxQuietly(const std::string& path, bool& wroteLock) {
    return lockWith(path, wroteLock, [](const LockHolder&) { return false; });
}

UniqueFile openMailFile(const std::string& path, const char* mode, Status& status) {
    bool readMode = std::strcmp(mode, "r") == 0;
    if (lockedByAnother(path)) {
        status = Status::failure(Status::kInUse, path);
        return {};
    }
    UniqueFile file = UniqueFile::open(path, readMode ? "r+" : mode);
    if (file) {
        bool known = false;
        if (onNfs(::fileno(file.get()), known) || !known) return file;
        if (lockToEnd(::fileno(file.get())) == 0) return file;
        int err = errno;
        file.close();
        bool held = err == EAGAIN || err == EACCES;
        status = held ? Status::failure(Status::kInUse, path)
                      : Status::fileFailure(kFileLock, path, err);
        return {};
    }
    if (readMode) {
        if (UniqueFile ro = UniqueFile::open(path, "r")) return ro;
    }
    status = Status::fileFailure(kFileOpen, path);
    return {};
}

}  // namespace quill

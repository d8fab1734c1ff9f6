#include "store/durable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "base/FaultInjection.h"

namespace quill::durable {
namespace {

constexpr off_t kCopyStep = 1 << 20;

Status failed(int operation, const std::string& path) {
    return Status::fileFailure(operation, path, errno);
}

// Copies through a buffer where the kernel cannot copy between the files.
bool copyByReading(int out, int in, off_t from, std::size_t count) {
    static thread_local std::unique_ptr<char[]> buffer(new char[kCopyStep]);
    std::size_t got = readAt(in, buffer.get(), count, from);
    if (got != count) {
        if (errno == 0) errno = EIO;
        return false;
    }
    return writeAll(out, {buffer.get(), count});
}

bool copyStep(int out, int in, off_t from, std::size_t count) {
    off_t at = from;
    std::size_t left = count;
    while (left > 0) {
        ssize_t n = ::copy_file_range(in, &at, out, nullptr, left, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
            return copyByReading(out, in, at, left);
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string sidePath(const std::string& target) { return target + ".new"; }

std::string directoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

UniqueFd createSide(const std::string& path, mode_t mode, Status& status) {
    UniqueFd fd = openFile(path, O_WRONLY | O_CREAT | O_TRUNC, mode & 07777);
    if (!fd) {
        status = failed(kFileCreate, path);
    } else if (::fchmod(fd.get(), mode & 07777) != 0) {
        status = failed(kFileCreate, path);
        fd.reset();
    }
    return fd;
}

Status write(int fd, std::string_view bytes, const std::string& path) {
    if (FaultInjection::step("write") != 0 || !writeAll(fd, bytes)) return failed(kFileWrite, path);
    return {};
}

Status writeAt(int fd, std::string_view bytes, off_t at, const std::string& path) {
    if (FaultInjection::step("write") != 0 || !writeAllAt(fd, bytes, at))
        return failed(kFileWrite, path);
    return {};
}

Status copyRange(int out, int in, off_t from, off_t count, const std::string& path,
                 const std::function<bool(off_t)>& progress) {
    for (off_t done = 0; done < count;) {
        if (progress && !progress(done)) return Status::failure(Status::kCancelled, path);
        off_t step = std::min(kCopyStep, count - done);
        if (FaultInjection::step("write") != 0 ||
            !copyStep(out, in, from + done, static_cast<std::size_t>(step))) {
            return failed(kFileWrite, path);
        }
        done += step;
    }
    return {};
}

Status sync(int fd, const std::string& path) {
    if (FaultInjection::step("sync") != 0 || ::fsync(fd) != 0) return failed(kFileSync, path);
    return {};
}

Status truncate(const std::string& path, off_t length) {
    if (FaultInjection::step("truncate") != 0 || ::truncate(path.c_str(), length) != 0)
        return failed(kFileTruncate, path);
    UniqueFd fd = openFile(path, O_WRONLY);
    if (!fd) return failed(kFileOpen, path);
    return sync(fd.get(), path);
}

Status syncDirectory(const std::string& dir) {
    UniqueFd fd = openFile(dir, O_RDONLY | O_DIRECTORY);
    if (!fd) return failed(kFileOpen, dir);
    return sync(fd.get(), dir);
}

Status rename(const std::string& from, const std::string& to) {
    if (FaultInjection::step("rename") != 0 || ::rename(from.c_str(), to.c_str()) != 0)
        return failed(kFileWrite, to);
    return syncDirectory(directoryOf(to));
}

Status replaceFile(const std::string& path, std::string_view bytes, mode_t mode) {
    std::string side = sidePath(path);
    Status status;
    UniqueFd fd = createSide(side, mode, status);
    if (fd) status = write(fd.get(), bytes, side);
    if (status.ok()) status = sync(fd.get(), side);
    if (status.ok() && fd.close() != 0) status = failed(kFileClose, side);
    if (status.ok()) status = rename(side, path);
    if (!status.ok()) ::unlink(side.c_str());
    return status;
}

Status remove(const std::string& path) {
    if (FaultInjection::step("unlink") != 0 || (::unlink(path.c_str()) != 0 && errno != ENOENT))
        return failed(kFileUnlink, path);
    return syncDirectory(directoryOf(path));
}

}  // namespace quill::durable

#include "base/FileHandles.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace quill {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

int UniqueFd::release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

int UniqueFd::close() {
    if (m_fd < 0) return 0;
    int rc = ::close(m_fd);
    m_fd = -1;
    return rc;
}

UniqueFd openFile(const std::string& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return UniqueFd(fd);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Reads straight into the string. It first grows by the file's size plus
// one byte, so a regular file is read without copying and its end is seen
// without growing again; after that it doubles.
bool readAll(int fd, std::string& out) {
    struct stat st;
    size_t grow = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0
                      ? static_cast<size_t>(st.st_size) + 1
                      : 65536;
    size_t have = out.size();
    for (;;) {
        if (have == out.size()) {
            out.resize(have + grow);
            grow = out.size();
        }
        ssize_t n = ::read(fd, out.data() + have, out.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            out.resize(have);
            return n == 0;
        }
        have += static_cast<size_t>(n);
    }
}

bool readFile(const std::string& path, std::string& out) {
    UniqueFd fd = openFile(path, O_RDONLY);
    if (!fd) return false;
    out.clear();
    return readAll(fd.get(), out);
}

std::uint64_t fileSize(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

std::size_t readAt(int fd, char* into, std::size_t count, off_t at) {
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd, into + done, count - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool writeAllAt(int fd, std::string_view bytes, off_t at) {
    while (!bytes.empty()) {
        ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        at += n;
    }
    return true;
}

UniqueFile& UniqueFile::operator=(UniqueFile&& other) noexcept {
    if (this != &other) {
        close();
        m_file = other.m_file;
        other.m_file = nullptr;
    }
    return *this;
}

UniqueFile UniqueFile::open(const std::string& path, const char* mode) {
    std::string m = std::string(mode) + "e";
    return UniqueFile(std::fopen(path.c_str(), m.c_str()));
}

int UniqueFile::close() {
    if (!m_file) return 0;
    int rc = std::fclose(m_file);
    m_file = nullptr;
    return rc;
}

Mapping::Mapping(Mapping&& other) noexcept
    : m_data(other.m_data), m_size(other.m_size), m_valid(other.m_valid) {
    other.m_data = nullptr;
    other.m_size = 0;
    other.m_valid = false;
}

Mapping& Mapping::operator=(Mapping&& other) noexcept {
    if (this != &other) {
        reset();
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_valid, other.m_valid);
    }
    return *this;
}

Mapping Mapping::ofFd(int fd) {
    Mapping m;
    struct stat st;
    if (::fstat(fd, &st) != 0) return m;
    m.m_size = static_cast<size_t>(st.st_size);
    if (m.m_size > 0) {
        void* p = ::mmap(nullptr, m.m_size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            m.m_size = 0;
            return m;
        }
        m.m_data = static_cast<const char*>(p);
    }
    m.m_valid = true;
    return m;
}

Mapping Mapping::ofFile(const std::string& path) {
    UniqueFd fd = openFile(path, O_RDONLY);
    if (!fd) return Mapping();
    return ofFd(fd.get());
}

void Mapping::reset() {
    if (m_data) ::munmap(const_cast<char*>(m_data), m_size);
    m_data = nullptr;
    m_size = 0;
    m_valid = false;
}

TempFile::TempFile(std::string target, mode_t finalMode)
    : m_target(std::move(target)), m_finalMode(finalMode) {
    std::string pattern = m_target + ".XXXXXX";
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) {
        m_fd.reset(fd);
        m_path = pattern;
    }
}

TempFile::~TempFile() {
    if (!m_committed && !m_path.empty()) ::unlink(m_path.c_str());
}

bool TempFile::commit() {
    if (!m_fd) return false;
    if (::fsync(m_fd.get()) != 0) return false;
    if (::fchmod(m_fd.get(), m_finalMode) != 0) return false;
    if (m_fd.close() != 0) return false;
    if (::rename(m_path.c_str(), m_target.c_str()) != 0) return false;
    m_committed = true;
    return true;
}

}  // namespace quill

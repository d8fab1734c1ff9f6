// Owners of operating-system resources: descriptors, stdio streams, mappings
// and temporary files. Every one releases what it holds in its destructor, and
// everything is opened close-on-exec so children never inherit a mailbox lock.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace quill {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    explicit operator bool() const { return valid(); }
    int release();
    void reset(int fd = -1);
    // Closes now and answers the result of close(2) (0 or -1 with errno set).
    int close();

  private:
    int m_fd = -1;
};

// open(2) with O_CLOEXEC, retried on EINTR.
UniqueFd openFile(const std::string& path, int flags, mode_t mode = 0666);
// Writes every byte, retrying short writes and EINTR; false with errno set on failure.
bool writeAll(int fd, std::string_view bytes);
// Reads every byte at fd's offset to the end; false with errno set on failure.
bool readAll(int fd, std::string& out);
// Reads a whole file; false with errno set on failure.
bool readFile(const std::string& path, std::string& out);
// The size of the open file, 0 when it cannot be told.
std::uint64_t fileSize(int fd);
// Reads up to count bytes at offset at, retrying short reads and EINTR; answers
// how many it read, fewer only at the end of the file or on failure (errno set).
std::size_t readAt(int fd, char* into, std::size_t count, off_t at);
// readAt that answers whether every byte came.
inline bool readAllAt(int fd, char* into, std::size_t count, off_t at) {
    return readAt(fd, into, count, at) == count;
}
// Writes every byte at offset at, retrying short writes and EINTR; false with
// errno set on failure.
bool writeAllAt(int fd, std::string_view bytes, off_t at);

class UniqueFile {
  public:
    UniqueFile() = default;
    explicit UniqueFile(std::FILE* f) : m_file(f) {}
    UniqueFile(UniqueFile&& other) noexcept : m_file(other.m_file) { other.m_file = nullptr; }
    UniqueFile& operator=(UniqueFile&& other) noexcept;
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    ~UniqueFile() { close(); }

    // fopen with close-on-exec ("e" is added to the mode).
    static UniqueFile open(const std::string& path, const char* mode);

    std::FILE* get() const { return m_file; }
    explicit operator bool() const { return m_file != nullptr; }
    // Flushes and closes; answers 0 or EOF with errno set.
    int close();

  private:
    std::FILE* m_file = nullptr;
};

// A read-only mapping of a whole file.
class Mapping {
  public:
    Mapping() = default;
    Mapping(Mapping&& other) noexcept;
    Mapping& operator=(Mapping&& other) noexcept;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping() { reset(); }

    // Maps the file at path; an empty file gives a valid, empty mapping.
    // Answers an invalid mapping with errno set on failure.
    static Mapping ofFile(const std::string& path);
    static Mapping ofFd(int fd);

    const char* data() const { return m_data; }
    size_t size() const { return m_size; }
    bool valid() const { return m_valid; }
    std::string_view view() const { return {m_data ? m_data : "", m_size}; }
    void reset();

  private:
    const char* m_data = nullptr;
    size_t m_size = 0;
    bool m_valid = false;
};

// A temporary file beside its final place. commit() syncs it and renames it over
// the target; if commit() never happens the destructor removes it, so the target
// holds either its old or its new contents whatever happens.
class TempFile {
  public:
    // Creates "<target>.XXXXXX" (mode 0600 until commit sets the final mode).
    explicit TempFile(std::string target, mode_t finalMode = 0644);
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();

    bool valid() const { return m_fd.valid(); }
    int fd() const { return m_fd.get(); }
    const std::string& path() const { return m_path; }
    bool write(std::string_view bytes) { return writeAll(m_fd.get(), bytes); }
    // fsync, close, chmod, rename; false with errno set when any step fails.
    bool commit();

  private:
    std::string m_target;
    std::string m_path;
    mode_t m_finalMode;
    UniqueFd m_fd;
    bool m_committed = false;
};

}  // namespace quill

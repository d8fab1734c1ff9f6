// ByteSink: where written message bytes go. It collects them in memory (the
// in-memory stream a mailbox append or a delivery file is built from) or
// passes them through to a descriptor in large pieces. A failed write sticks:
// every later write answers false, so a writer can check once at the end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace quill {

class ByteSink {
  public:
    // Collects everything in memory.
    ByteSink() = default;
    // Writes through to fd (not owned), buffering up to a few pages.
    explicit ByteSink(int fd) : m_fd(fd) {}
    // A memory sink that refuses bytes past maxBytes, as a full disk would.
    static ByteSink withCapacity(size_t maxBytes);
    ~ByteSink() { flush(); }
    // A moved-from sink forgets its descriptor, so only one of the two flushes.
    ByteSink(ByteSink&& other) noexcept
        : m_bytes(std::move(other.m_bytes)),
          m_fd(std::exchange(other.m_fd, -1)),
          m_capacity(other.m_capacity),
          m_failed(other.m_failed) {}
    ByteSink& operator=(ByteSink&& other) noexcept;
    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;

    bool write(std::string_view bytes);
    bool put(char c) { return write(std::string_view(&c, 1)); }
    // Sends buffered bytes to the descriptor; false once anything failed.
    bool flush();
    bool ok() const { return !m_failed; }
    // Room for n bytes in memory, for callers that know the size ahead.
    void reserve(size_t n) { m_bytes.reserve(n); }
    // Room for n more bytes in a memory sink; a descriptor sink keeps its small buffer.
    void expect(size_t n) {
        if (m_fd < 0) m_bytes.reserve(m_bytes.size() + n);
    }

    // The collected bytes of a memory sink.
    const std::string& bytes() const { return m_bytes; }
    std::string take() { return std::move(m_bytes); }

  private:
    std::string m_bytes;
    int m_fd = -1;
    size_t m_capacity = std::string::npos;
    bool m_failed = false;
};

}  // namespace quill

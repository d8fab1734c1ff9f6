#include "base/ByteSink.h"

#include "base/FileHandles.h"

namespace quill {

namespace {
constexpr size_t kFlushSize = 64 * 1024;
}

ByteSink ByteSink::withCapacity(size_t maxBytes) {
    ByteSink sink;
    sink.m_capacity = maxBytes;
    return sink;
}

ByteSink& ByteSink::operator=(ByteSink&& other) noexcept {
    if (this != &other) {
        flush();
        m_bytes = std::move(other.m_bytes);
        m_fd = std::exchange(other.m_fd, -1);
        m_capacity = other.m_capacity;
        m_failed = other.m_failed;
    }
    return *this;
}

bool ByteSink::write(std::string_view bytes) {
    if (m_failed) return false;
    if (m_bytes.size() + bytes.size() > m_capacity) {
        m_bytes.append(bytes.substr(0, m_capacity - m_bytes.size()));
        m_failed = true;
        return false;
    }
    m_bytes.append(bytes);
    if (m_fd >= 0 && m_bytes.size() >= kFlushSize) return flush();
    return true;
}

bool ByteSink::flush() {
    if (m_fd < 0 || m_failed) return !m_failed;
    if (!writeAll(m_fd, m_bytes)) m_failed = true;
    m_bytes.clear();
    return !m_failed;
}

}  // namespace quill

// PageBuffer: bytes that grow a page at a time, or a whole file mapped read-only.
// A mapped buffer becomes a private writable copy on its first change.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/FileHandles.h"

namespace quill {

class PageBuffer {
  public:
    static size_t pageSize();

    PageBuffer() = default;
    // Maps the file read-only; answers false with errno set when it cannot.
    bool mapFile(const std::string& path);

    const char* data() const;
    size_t size() const { return m_mapped ? m_map.size() : m_size; }
    size_t capacity() const { return m_mapped ? m_map.size() : m_bytes.size(); }
    bool mapped() const { return m_mapped; }
    std::string_view view() const { return {data(), size()}; }

    void append(std::string_view bytes);
    // Writable room for n more bytes; commit them with grow(n).
    char* reserveTail(size_t n);
    void grow(size_t n) { m_size += n; }
    void truncate(size_t n);
    void clear();

  private:
    void unmapToCopy();
    void ensureCapacity(size_t needed);

    std::vector<char> m_bytes;
    size_t m_size = 0;
    Mapping m_map;
    bool m_mapped = false;
};

}  // namespace quill

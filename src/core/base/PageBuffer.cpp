#include "base/PageBuffer.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace quill {
namespace {

// Room kept between uses; more than this grew for one large message.
constexpr size_t kKeptCapacity = 64 * 1024;

}  // namespace

size_t PageBuffer::pageSize() {
    static const size_t size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

bool PageBuffer::mapFile(const std::string& path) {
    Mapping m = Mapping::ofFile(path);
    if (!m.valid()) return false;
    clear();
    m_map = std::move(m);
    m_mapped = true;
    return true;
}

const char* PageBuffer::data() const {
    if (m_mapped) return m_map.data() ? m_map.data() : "";
    return m_bytes.data();
}

void PageBuffer::unmapToCopy() {
    if (!m_mapped) return;
    std::vector<char> copy(m_map.data(), m_map.data() + m_map.size());
    m_size = copy.size();
    m_bytes = std::move(copy);
    m_map.reset();
    m_mapped = false;
}

void PageBuffer::ensureCapacity(size_t needed) {
    if (needed <= m_bytes.size()) return;
    size_t page = pageSize();
    size_t want = std::max(needed, m_bytes.size() * 2);
    m_bytes.resize((want + page - 1) / page * page);
}

char* PageBuffer::reserveTail(size_t n) {
    unmapToCopy();
    ensureCapacity(m_size + n);
    return m_bytes.data() + m_size;
}

void PageBuffer::append(std::string_view bytes) {
    char* tail = reserveTail(bytes.size());
    if (!bytes.empty()) std::memcpy(tail, bytes.data(), bytes.size());
    m_size += bytes.size();
}

void PageBuffer::truncate(size_t n) {
    unmapToCopy();
    m_size = std::min(m_size, n);
}

void PageBuffer::clear() {
    m_map.reset();
    m_mapped = false;
    // Room grown for one large message is given back, so a window that once
    // showed one does not hold it for good.
    if (m_bytes.capacity() > kKeptCapacity) {
        std::vector<char>().swap(m_bytes);
    } else {
        m_bytes.clear();
    }
    m_size = 0;
}

}  // namespace quill

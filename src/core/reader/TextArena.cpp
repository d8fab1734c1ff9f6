#include "reader/TextArena.h"

#include <cstring>

namespace quill {

const char* TextArena::store(std::initializer_list<std::string_view> texts) {
    std::size_t need = 0;
    for (std::string_view text : texts) need += text.size() + 1;
    char* start = room(need);
    char* at = start;
    for (std::string_view text : texts) {
        std::memcpy(at, text.data(), text.size());
        at += text.size();
        *at++ = '\0';
    }
    return start;
}

char* TextArena::room(std::size_t need) {
    // A piece longer than a block gets one of its own.
    if (need > kBlockSize) return m_large.emplace_back(std::make_unique<char[]>(need)).get();
    if (m_used + need > kBlockSize) {
        m_blocks.push_back(std::make_unique<char[]>(kBlockSize));
        m_used = 0;
    }
    char* at = m_blocks.back().get() + m_used;
    m_used += need;
    return at;
}

void TextArena::clear() {
    m_blocks.clear();
    m_large.clear();
    m_used = kBlockSize;
}

}  // namespace quill

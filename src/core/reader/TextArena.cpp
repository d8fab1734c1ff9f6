#include "reader/TextArena.h"

#include <cstring>

namespace quill {

TextArena::Ref TextArena::store(std::initializer_list<std::string_view> texts) {
    std::size_t need = 0;
    for (std::string_view text : texts) need += text.size() + 1;
    char* at = nullptr;
    Ref ref = place(need, at);
    if (ref == kNone) return kNone;
    for (std::string_view text : texts) {
        std::memcpy(at, text.data(), text.size());
        at += text.size();
        *at++ = '\0';
    }
    return ref;
}

// A regular piece's reference is its position over all blocks, plus one so
// that no piece is kNone; it stays below kLarge.
TextArena::Ref TextArena::place(std::size_t need, char*& at) {
    if (need > kBlockSize) {
        if (m_large.size() >= kLarge - 1) return kNone;
        at = m_large.emplace_back(std::make_unique<char[]>(need)).get();
        return kLarge | static_cast<Ref>(m_large.size() - 1);
    }
    if (m_used + need > kBlockSize) {
        if ((m_blocks.size() + 1) * kBlockSize >= kLarge) return kNone;
        m_blocks.push_back(std::make_unique<char[]>(kBlockSize));
        m_used = 0;
    }
    at = m_blocks.back().get() + m_used;
    std::size_t position = (m_blocks.size() - 1) * kBlockSize + m_used;
    m_used += need;
    return static_cast<Ref>(position + 1);
}

const char* TextArena::at(Ref ref) const {
    if (ref == kNone) return nullptr;
    if (ref & kLarge) return m_large[ref & ~kLarge].get();
    std::size_t position = ref - 1;
    return m_blocks[position / kBlockSize].get() + position % kBlockSize;
}

void TextArena::clear() {
    m_blocks.clear();
    m_large.clear();
    m_used = kBlockSize;
}

}  // namespace quill

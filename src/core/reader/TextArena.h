// TextArena: where a message list keeps the texts of its loaded rows. Each
// row's texts go in one piece, NUL-separated, into large blocks, so a row
// costs its bytes and one pointer instead of a string object per text, and
// a piece never moves once stored.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace quill {

class TextArena {
  public:
    // Stores the texts one after another, each followed by a NUL; answers
    // where the first begins. Texts must not hold NULs themselves.
    const char* store(std::initializer_list<std::string_view> texts);
    void clear();

  private:
    char* room(std::size_t need);

    static constexpr std::size_t kBlockSize = 64 * 1024;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::unique_ptr<char[]>> m_large;
    std::size_t m_used = kBlockSize;
};

}  // namespace quill

// TextArena: where a message list keeps the texts of its loaded rows. Each
// row's texts go in one piece, NUL-separated, into large blocks, so a row
// costs its bytes and a four-byte reference instead of a string object per
// text, and a piece never moves once stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace quill {

class TextArena {
  public:
    // Where a piece lies; kNone for no piece.
    using Ref = std::uint32_t;
    static constexpr Ref kNone = 0;

    // Stores the texts one after another, each followed by a NUL; answers
    // where the first begins, or kNone when the arena cannot address more.
    // Texts must not hold NULs themselves.
    Ref store(std::initializer_list<std::string_view> texts);
    // The first text of a stored piece; nullptr for kNone.
    const char* at(Ref ref) const;
    void clear();

  private:
    Ref place(std::size_t need, char*& at);

    static constexpr std::size_t kBlockSize = 64 * 1024;
    // Set in the reference of a piece longer than a block, which has a block of its own.
    static constexpr Ref kLarge = Ref(1) << 31;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<std::unique_ptr<char[]>> m_large;
    std::size_t m_used = kBlockSize;
};

}  // namespace quill

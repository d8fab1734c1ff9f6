// A fast search for a fixed text in message bytes: sixteen positions at a time
// are tested on the text's first and last bytes, and only those candidates are
// compared whole. Case is folded the way the C locale folds it (ASCII letters
// only), as the find expression ignores case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quill {

// The needle as findLiteral expects it: lower-cased when case is folded.
std::string literalNeedle(std::string_view text, bool foldCase);

// Position of the first occurrence of `needle` (made by literalNeedle) in
// `haystack`, or std::string_view::npos. An empty needle is found at 0.
std::size_t findLiteral(std::string_view haystack, std::string_view needle, bool foldCase);

}  // namespace quill

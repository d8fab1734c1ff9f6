// MIME tokens: the comparison every type, subtype, encoding and charset name
// goes through (ASCII case ignored, a leading "x-" dropped on both sides), and
// the tokenizer for "Content-Type" and "Content-Disposition" values with their
// quoted strings, backslash escapes and comments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quill {

bool isKeyEqual(std::string_view a, std::string_view b);
bool isKeyEqual(const std::optional<std::string>& a, std::string_view b);
inline bool isKeyEqual(const char* a, std::string_view b) {
    return isKeyEqual(std::string_view(a), b);
}
inline bool isKeyEqual(const std::string& a, std::string_view b) {
    return isKeyEqual(std::string_view(a), b);
}

// Reads the next token of text from pos (advanced past the token, the blanks
// after it and one delimiter). Unquoted specials are kept with a warning.
// An empty token gives nothing.
std::optional<std::string> parseMimeToken(std::string_view text, size_t& pos,
                                          std::string_view delimiters, bool lower);

}  // namespace quill

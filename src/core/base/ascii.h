// Character classes, case and trimming with the C locale's meanings, whatever
// locale the process runs in: mail, index and key texts are bytes, and a byte
// above 127 is never a letter, a digit or white space here.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace quill {

// Space, tab, newline, vertical tab, form feed and carriage return.
constexpr bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// Space and tab.
constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }
// Space, tab, carriage return and newline: the white space that separates and
// folds header words; unlike isSpace, not vertical tab or form feed.
constexpr bool isMailSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool isLower(char c) { return c >= 'a' && c <= 'z'; }
constexpr bool isAlpha(char c) { return isUpper(c) || isLower(c); }
constexpr bool isAlnum(char c) { return isAlpha(c) || isDigit(c); }

constexpr char toLower(char c) { return isUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char toUpper(char c) { return isLower(c) ? static_cast<char>(c - 'a' + 'A') : c; }

inline constexpr std::array<signed char, 256> kHexDigitValues = [] {
    std::array<signed char, 256> t{};
    for (auto& v : t) v = -1;
    for (int i = 0; i < 10; ++i) t['0' + i] = static_cast<signed char>(i);
    for (int i = 0; i < 6; ++i) {
        t['A' + i] = static_cast<signed char>(10 + i);
        t['a' + i] = static_cast<signed char>(10 + i);
    }
    return t;
}();

// A hexadecimal digit's value, either case; -1 for any other byte.
constexpr int hexValue(char c) { return kHexDigitValues[static_cast<unsigned char>(c)]; }

std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
// Negative, zero or positive as a sorts before, with or after b, case ignored;
// a prefix sorts first.
int compareIgnoringCase(std::string_view a, std::string_view b);

// The text without the leading and trailing bytes of the class `isTrimmed`.
std::string_view trimmed(std::string_view text, bool (*isTrimmed)(char) = isSpace);
std::string_view trimmedFront(std::string_view text, bool (*isTrimmed)(char) = isSpace);
std::string_view trimmedBack(std::string_view text, bool (*isTrimmed)(char) = isSpace);

}  // namespace quill

#include "base/ascii.h"

#include <algorithm>

namespace quill {

std::string lowercased(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = toLower(c);
    return out;
}

std::string uppercased(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = toUpper(c);
    return out;
}

int compareIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int d =
            static_cast<unsigned char>(toLower(a[i])) - static_cast<unsigned char>(toLower(b[i]));
        if (d != 0) return d;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareIgnoringCase(a, b) == 0;
}

// One loop, with no comparison of order: the index scan asks this of header
// lines millions of times.
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (toLower(text[i]) != toLower(prefix[i])) return false;
    }
    return true;
}

std::string_view trimmedFront(std::string_view text, bool (*isTrimmed)(char)) {
    while (!text.empty() && isTrimmed(text.front())) text.remove_prefix(1);
    return text;
}

std::string_view trimmedBack(std::string_view text, bool (*isTrimmed)(char)) {
    while (!text.empty() && isTrimmed(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view trimmed(std::string_view text, bool (*isTrimmed)(char)) {
    return trimmedBack(trimmedFront(text, isTrimmed), isTrimmed);
}

}  // namespace quill

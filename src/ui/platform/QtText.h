// Core texts as QStrings: the core's 8-bit texts are ISO 8859-1, and the
// Unicode display's texts and the panels' texts are UTF-8.
#pragma once

#include <QString>
#include <string_view>

namespace quill {

inline QString latin1Text(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline QString utf8Text(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline QString shownText(std::string_view bytes, bool utf8) {
    return utf8 ? utf8Text(bytes) : latin1Text(bytes);
}

}  // namespace quill

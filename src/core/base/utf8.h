// The two byte encodings a RichText may hold: ISO 8859-1, Quill's own 8-bit
// set, and UTF-8, which the Unicode display shows. Conversions between them.
#pragma once

#include <string>
#include <string_view>

namespace quill {

bool isValidUtf8(std::string_view bytes);
// Appends one character; NUL, surrogates and numbers past Unicode become U+FFFD.
void appendUtf8(std::string& out, char32_t code);
std::string latin1ToUtf8(std::string_view bytes);
// UTF-8 back to ISO 8859-1 where it can be; other characters become "?".
std::string utf8ToLatin1(std::string_view utf8);

}  // namespace quill

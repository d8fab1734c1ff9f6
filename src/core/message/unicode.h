// Unicode display: turning mail text in any declared character set into
// UTF-8 for showing, through iconv. Nothing here is ever written back to a
// file; what Quill stores stays in the mail's own bytes. Every function
// answers valid UTF-8 and loses no byte: text that will not convert is read
// as ISO 8859-1, where every byte is a character.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/utf8.h"

namespace quill {

// The bytes read in the named charset, or nothing when iconv does not know
// the charset or the bytes are not valid in it.
std::optional<std::string> convertToUtf8(std::string_view bytes, std::string_view charset);

// Undeclared 8-bit text (raw header bytes, a body without a charset): UTF-8
// when it is valid UTF-8, else ISO 8859-1.
std::string utf8OrLatin1(std::string_view bytes);

// Text in its declared charset; an unknown or wrong charset falls back to
// utf8OrLatin1.
std::string textToUtf8(std::string_view bytes, std::string_view charset);

}  // namespace quill

// Character sets: Quill's own 8-bit set is ISO 8859-1, so text in it needs no
// conversion; the transliteration of 8-bit bytes into plain ASCII is for
// places that carry only ASCII (headers of non-MIME messages, the subject of
// outgoing mail).
#pragma once

#include <string>
#include <string_view>

namespace quill {

// The ASCII text of one byte; a sign-extended (negative) value is taken
// modulo 256. Bytes below 128 stand for themselves.
std::string_view toAscii(int byte);

// The concatenation of toAscii of every byte.
std::string asciiTransliteration(std::string_view text);

}  // namespace quill

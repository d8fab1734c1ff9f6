// Character sets: Quill's own 8-bit set is ISO 8859-1, so the conversions to
// and from it keep every byte; and the transliteration of 8-bit bytes into
// plain ASCII for places that carry only ASCII (headers of non-MIME messages,
// the subject of outgoing mail).
#pragma once

#include <string>
#include <string_view>

namespace quill {

// ISO 8859-1 to the system set, in place (a byte without counterpart would become "?").
void convertFromIso8859_1(std::string& text);
// The system set to ISO 8859-1, in place (a byte without counterpart would
// become the first character of its ASCII transliteration).
void convertToIso8859_1(std::string& text);

// The ASCII text of one byte; a sign-extended (negative) value is taken
// modulo 256. Bytes below 128 stand for themselves.
std::string_view toAscii(int byte);

// The concatenation of toAscii of every byte.
std::string asciiTransliteration(std::string_view text);

}  // namespace quill

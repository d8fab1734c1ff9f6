// Header values as the Unicode display shows them: RFC 2047 encoded words in
// any charset, "B" and "Q", decoded to UTF-8, and raw 8-bit bytes read as
// UTF-8 when they are valid UTF-8, else as ISO 8859-1. The value the message
// keeps is not touched; this is only what is shown.
#pragma once

#include <string>
#include <string_view>

namespace quill {

// The display text of a header value, folding line breaks removed. Encoded
// words separated only by white space are joined (the space goes); a word
// that does not parse stays as written.
std::string headerTextToUtf8(std::string_view value);

}  // namespace quill

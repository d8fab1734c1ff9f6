// Header values as the Unicode display shows them: RFC 2047 encoded words in
// any charset, "B" and "Q", decoded to UTF-8, and raw 8-bit bytes read as
// UTF-8 when they are valid UTF-8, else as ISO 8859-1. The value the message
// keeps is not touched; this is only what is shown.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "message/MailHeaders.h"

namespace quill {

// The display text of a header value, folding line breaks removed. Encoded
// words separated only by white space are joined (the space goes); a word
// that does not parse stays as written.
std::string headerTextToUtf8(std::string_view value);

// The header block at the start of a message's text with every value in its
// display form, for showing; nothing when the text has no header block.
std::unique_ptr<MailHeaders> displayHeaders(std::string_view messageText);

// A sink that passes undeclared 8-bit text on as UTF-8 (utf8OrLatin1).
MailHeaders::RunSink utf8Runs(const MailHeaders::RunSink& out);

}  // namespace quill

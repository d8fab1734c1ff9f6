// Header words: decoding RFC 1522 encoded words ("=?charset?Q?text?=") in
// header values. Only ISO 8859-1 quoted-printable words are decoded; other
// charsets are decoded byte for byte with a diagnostic, and base64 words keep
// their encoded text. Diagnostics are plain lines on the diagnostics sink.
#pragma once

#include <cstddef>
#include <string>

namespace quill {

// Decodes the `length` bytes at `text` in place and answers the new length
// (never more than `length`); the bytes after it are left as they were.
std::size_t decodeMimeHeaderWords(char* text, std::size_t length);
// The same for a NUL-terminated text, NUL-terminated again; answers `text`.
char* decodeMimeHeaderWords(char* text);
void decodeMimeHeaderWords(std::string& text);

}  // namespace quill

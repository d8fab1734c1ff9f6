// Header words: decoding RFC 1522 encoded words ("=?charset?Q?text?=") in
// header values. The system's set is ISO 8859-1, so "Q" words give their
// bytes as they are; a word in another charset is decoded the same way after a
// diagnostic, and "B" words keep their base64 text. Diagnostics are plain
// lines ("Header charset %s is unsupported\n", ...) on the diagnostics sink.
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

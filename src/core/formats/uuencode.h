// uuencode: binary data to and from the uuencoded text block that native
// attachments travel in and Sun attachments may arrive in.
//
//   begin <mode in octal> <name>
//   <length char><4 chars per 3 bytes>      full lines carry 45 bytes ("M")
//   `                                        a line of no bytes
//   end
//
// Each 6-bit value v is written as v + 32, except 0, which is the grave accent.
#pragma once

#include <string>

#include "base/ByteSink.h"
#include "base/ByteSource.h"

namespace quill {

// Writes the whole block for everything left in `in`. Answers true unless the
// sink failed.
bool uuencode(ByteSource& in, ByteSink& out, const std::string& name, int mode);

// Skips text up to the first "begin " line, then decodes the data lines up to
// the line of no bytes (or the end of input; no "end" line is needed). `name`
// and `mode` receive the begin line's values when given. Answers false for a
// missing begin line, nothing after it, or a group of characters cut short.
bool uudecode(ByteSource& in, ByteSink& out, std::string* name = nullptr, int* mode = nullptr);

}  // namespace quill

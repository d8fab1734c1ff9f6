// RtfReader: reads RTF into rich text — what Quill writes (both attachment
// forms) and ordinary RTF from other programs. Unknown control words are
// skipped, "{\*" groups and the usual non-text destinations (style sheets,
// document information, pictures, headers and footers) are left out, \'hh and
// \uN escapes become ISO 8859-1 bytes (a character outside that set keeps the
// writer's fallback text). Nothing in the input stops a read: unbalanced or
// truncated input gives the text read so far.
#pragma once

#include <optional>
#include <string_view>

#include "richtext/RichText.h"

namespace quill {

class RtfReader {
  public:
    // The rich text of rtf, or nothing when the data does not begin with "{\rtf".
    // base is the character format that \plain and the document start from.
    static std::optional<RichText> read(std::string_view rtf,
                                        const CharFormat& base = CharFormat());
    // True when data begins (after white space) with "{\rtf".
    static bool looksLikeRtf(std::string_view data);
};

}  // namespace quill

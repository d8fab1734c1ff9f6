// Transfer encoding of outgoing MIME bodies and headers: the base64 and
// quoted-printable writers with their line rules, the scan that chooses
// between them, parameter quoting, RFC 1522 encoded words for 8-bit header
// values, and multipart boundaries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/ByteSink.h"

namespace quill {

struct BodyScan {
    // Bytes of 128 or more and control bytes other than tab and newline.
    size_t badBytes = 0;
    // From one newline to the next, so every line after the first counts its newline.
    size_t longestLine = 0;
};
// Counting stops at enoughBadBytes (the longest line is then not known).
BodyScan scanBody(std::string_view body, size_t enoughBadBytes = SIZE_MAX);

// lineLength 0 means each writer's own default width (76 and 78).
bool writeQuotedPrintable(std::string_view body, ByteSink& sink, int lineLength);
bool writeBase64(std::string_view body, ByteSink& sink, int lineLength);

// A parameter name or value as it may stand in a header: as it is when it is
// one token, else in double quotes with quotes and backslashes escaped.
std::string quotedMimeString(std::string_view text);

// "key: value" with every word holding an 8-bit byte written as an
// ISO 8859-1 quoted-printable encoded word, folded as it goes.
bool writeEncodedHeaderLine(std::string_view key, std::string_view value, ByteSink& sink);

// "Tessel-Quill-<random>-<counter>"; the counter starts at 1 and the random
// part comes from a generator seeded with the time on the first call.
std::string makeBoundary();
// Tests fix the random part (an empty source restores the generator) and
// start the counter again at 1.
void setBoundaryRandomSource(std::function<long()> source);

}  // namespace quill

// The transfer decoders over any bytes: base64 and quoted-printable decoded
// whole, fed in pieces cut where the input says and streamed piece by piece
// all agree, and what the encoders write decodes back to the input.
#include <cstdlib>

#include "base/ByteSink.h"
#include "message/mimecodec.h"
#include "message/mimewrite.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

namespace {

template <class Decoder>
std::string decodeCut(std::string_view input, std::size_t piece) {
    Decoder decoder;
    std::string out;
    for (std::size_t at = 0; at < input.size(); at += piece)
        decoder.feed(input.substr(at, piece), out);
    decoder.finish(out);
    return out;
}

std::string streamed(std::string_view input, TransferCoding coding) {
    std::string out;
    decodeTransferInPieces(input, coding, [&out](std::string_view piece) {
        out += piece;
        return true;
    });
    return out;
}

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t piece = size ? data[0] % 16 + 1 : 1;
    std::string base64 = decodeTransfer(input, TransferCoding::Base64);
    check(decodeCut<Base64Decoder>(input, piece) == base64);
    check(streamed(input, TransferCoding::Base64) == base64);
    std::string quoted = decodeTransfer(input, TransferCoding::QuotedPrintable);
    check(decodeCut<QuotedPrintableDecoder>(input, piece) == quoted);
    check(streamed(input, TransferCoding::QuotedPrintable) == quoted);

    ByteSink encoded;
    writeBase64(input, encoded, 76);
    check(decodeBase64(encoded.bytes()) == input);
    ByteSink printable;
    writeQuotedPrintable(input, printable, 76);
    check(decodeQuotedPrintable(printable.bytes()) == input);
    return 0;
}

// BodyBytes: a message body as it came, perhaps still in its transfer
// encoding. Showing a message asks nothing of an attachment's bytes, so they
// stay encoded, a share of the message's own buffer, until someone reads
// them: a file is written from them decoded a piece at a time, and only a
// caller wanting them whole gets (and keeps) a decoded copy. That first
// decoding changes the object without a lock: one thread uses a message at a
// time.
#pragma once

#include <functional>
#include <string_view>

#include "base/SharedBytes.h"
#include "message/mimecodec.h"

namespace quill {

class BodyBytes {
  public:
    using PieceSink = std::function<bool(std::string_view)>;

    BodyBytes() = default;
    explicit BodyBytes(SharedBytes bytes) : m_bytes(std::move(bytes)) {}
    BodyBytes(SharedBytes encoded, TransferCoding coding);

    // The decoded bytes, decoded on first use and kept.
    std::string_view view() const { return shared().view(); }
    const SharedBytes& shared() const;
    // The decoded bytes in pieces, in order, without keeping them whole;
    // false as soon as sink answers false.
    bool forEachPiece(const PieceSink& sink) const;

  private:
    mutable SharedBytes m_bytes;
    mutable SharedBytes m_encoded;
    mutable TransferCoding m_coding = TransferCoding::Identity;
};

}  // namespace quill

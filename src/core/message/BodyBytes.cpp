#include "message/BodyBytes.h"

namespace quill {

BodyBytes::BodyBytes(SharedBytes encoded, TransferCoding coding)
    : m_encoded(std::move(encoded)), m_coding(coding) {}

const SharedBytes& BodyBytes::shared() const {
    if (m_coding != TransferCoding::Identity) {
        m_bytes = SharedBytes(decodeTransfer(m_encoded.view(), m_coding));
        m_encoded = SharedBytes();
        m_coding = TransferCoding::Identity;
    }
    return m_bytes;
}

bool BodyBytes::forEachPiece(const PieceSink& sink) const {
    if (m_coding == TransferCoding::Identity) return sink(m_bytes.view());
    return decodeTransferInPieces(m_encoded.view(), m_coding, sink);
}

}  // namespace quill

#include "store/TocFormat.h"

namespace quill::tocformat {

void encodeHeader(const Header& header, char out[kHeaderSize]) {
    putU32(out, header.magic);
    putU32(out + kCountOffset, static_cast<std::uint32_t>(header.count));
    putU32(out + kTimeOffset, static_cast<std::uint32_t>(header.time));
    putFloat(out + kHeightOffset, header.tocHeight);
    putFloat(out + kFrameOffset, header.frame.x);
    putFloat(out + kFrameOffset + 4, header.frame.y);
    putFloat(out + kFrameOffset + 8, header.frame.width);
    putFloat(out + kFrameOffset + 12, header.frame.height);
}

Header decodeHeader(const char in[kHeaderSize]) {
    Header h;
    h.magic = getU32(in);
    h.count = getI32(in + kCountOffset);
    h.time = getI32(in + kTimeOffset);
    h.tocHeight = getFloat(in + kHeightOffset);
    h.frame = {getFloat(in + kFrameOffset), getFloat(in + kFrameOffset + 4),
               getFloat(in + kFrameOffset + 8), getFloat(in + kFrameOffset + 12)};
    return h;
}

// Written in place after one resize: the index of a large mailbox is
// millions of these.
void appendRecord(std::string& out, const Record& r) {
    std::size_t total = kFixedSize + r.sender.size() + r.subject.size() + r.reference.size() + 3 +
                        4 * kOptionalWords;
    std::size_t at = out.size();
    out.resize(at + total);
    char* p = out.data() + at;
    putU32(p + kRecordLengthOffset, static_cast<std::uint32_t>(total));
    putU32(p + kOffsetOffset, static_cast<std::uint32_t>(r.offset));
    putU32(p + kLengthOffset, static_cast<std::uint32_t>(r.length));
    putU32(p + kDateOffset, r.date);
    p[kStatusOffset] = r.status.toChar();
    p[kTypeOffset] = r.type;
    p[kEncryptedOffset] = r.encrypted;
    p[kPadOffset] = ' ';
    p += kFixedSize;
    for (const std::string* s : {&r.sender, &r.subject, &r.reference}) {
        std::memcpy(p, s->data(), s->size());
        p += s->size();
        *p++ = '\0';
    }
    putU32(p, static_cast<std::uint32_t>(r.attachSize));
    putU32(p + 4, static_cast<std::uint32_t>(r.attachTime));
    putU32(p + 8, r.priority);
}

}  // namespace quill::tocformat

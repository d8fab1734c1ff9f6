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

void appendRecord(std::string& out, const Record& r) {
    auto total = kFixedSize + r.sender.size() + r.subject.size() + r.reference.size() + 3 +
                 4 * kOptionalWords;
    appendU32(out, static_cast<std::uint32_t>(total));
    appendU32(out, static_cast<std::uint32_t>(r.offset));
    appendU32(out, static_cast<std::uint32_t>(r.length));
    appendU32(out, r.date);
    out.push_back(r.status.toChar());
    out.push_back(r.type);
    out.push_back(r.encrypted);
    out.push_back(' ');
    for (const std::string* s : {&r.sender, &r.subject, &r.reference}) {
        out.append(*s);
        out.push_back('\0');
    }
    appendU32(out, static_cast<std::uint32_t>(r.attachSize));
    appendU32(out, static_cast<std::uint32_t>(r.attachTime));
    appendU32(out, r.priority);
}

}  // namespace quill::tocformat

// The byte layout of "table_of_contents", the binary index of a mailbox, and
// the float helpers that read and write it. Other programs and other
// versions of Quill read this file, so it is written field by field, never by
// copying structures.
//
//   header (32 bytes)
//     0  u32  magic 890712 (0x000D9758)
//     4  i32  number of records
//     8  i32  modification time of "mbox" when the index last matched it
//    12  f32  height of the message list in the mailbox window
//    16  f32  window frame x      20  f32  y      24  f32  width      28  f32  height
//
//   record, one per message in "mbox" order
//     0  i32  record length in bytes, this field included
//     4  i32  offset in "mbox" of the "F" of the message's "From " line
//     8  i32  message length, up to and including the newline before the next "From "
//    12  u32  packed date: year * 512 + month * 32 + day
//    16  u8   status character        17  u8  type character
//    18  u8   'e' when the attachment is encrypted, else ' '
//    19  u8   always ' '
//    20  sender NUL, subject NUL, attachment reference name NUL
//     .  i32  attachment size (disk usage of the attachment directory)  optional
//     .  i32  attachment time (its modification time, -1 unknown)       optional
//     .  i32  priority                                                   optional
//
// Every integer is 32-bit big-endian and every float an IEEE-754 single,
// big-endian. Records written now carry all three optional words (length
// 35 + the three string lengths); records of older versions may stop after
// the strings or after one or two words, so readers take the words that fit
// and always step to the next record by the record length.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/bigendian.h"
#include "store/MessageStatus.h"

namespace quill::tocformat {

inline constexpr std::uint32_t kMagic = 890712;
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kCountOffset = 4;
inline constexpr std::size_t kTimeOffset = 8;
inline constexpr std::size_t kHeightOffset = 12;
inline constexpr std::size_t kFrameOffset = 16;

inline constexpr std::size_t kFixedSize = 20;
inline constexpr std::size_t kRecordLengthOffset = 0;
inline constexpr std::size_t kOffsetOffset = 4;
inline constexpr std::size_t kLengthOffset = 8;
inline constexpr std::size_t kDateOffset = 12;
inline constexpr std::size_t kStatusOffset = 16;
inline constexpr std::size_t kTypeOffset = 17;
inline constexpr std::size_t kEncryptedOffset = 18;
inline constexpr std::size_t kPadOffset = 19;
inline constexpr std::size_t kOptionalWords = 3;

inline float getFloat(const char* p) {
    std::uint32_t bits = getU32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
inline void putFloat(char* p, float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    putU32(p, bits);
}

// The window geometry remembered in the header.
struct WindowFrame {
    float x = 0, y = 0, width = 0, height = 0;
    bool operator==(const WindowFrame&) const = default;
};

struct Header {
    std::uint32_t magic = kMagic;
    std::int32_t count = 0;
    std::int32_t time = 0;
    float tocHeight = 0;
    WindowFrame frame;
};

void encodeHeader(const Header& header, char out[kHeaderSize]);
Header decodeHeader(const char in[kHeaderSize]);

// The fields of one record as the scan produces them.
struct Record {
    std::int32_t offset = 0;
    std::int32_t length = 0;
    std::uint32_t date = 0;
    MessageStatus status;
    char type = ' ';
    char encrypted = ' ';
    std::string sender;
    std::string subject;
    std::string reference;
    std::int32_t attachSize = 0;
    std::int32_t attachTime = 0;
    std::uint32_t priority = 0;
};

// Appends a record with all three optional words.
void appendRecord(std::string& out, const Record& record);

}  // namespace quill::tocformat

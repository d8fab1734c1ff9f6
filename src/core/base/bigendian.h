// Big-endian words, the byte order of every binary file and message Quill
// writes (the index, the incoming-mail marks, named-port messages), so the
// files read the same on any machine.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

inline std::uint32_t getU32(const char* p) {
    auto b = reinterpret_cast<const unsigned char*>(p);
    return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) |
           std::uint32_t(b[3]);
}
inline std::int32_t getI32(const char* p) { return static_cast<std::int32_t>(getU32(p)); }
inline std::uint64_t getU64(const char* p) {
    return (std::uint64_t(getU32(p)) << 32) | getU32(p + 4);
}

inline void putU32(char* p, std::uint32_t v) {
    p[0] = static_cast<char>(v >> 24);
    p[1] = static_cast<char>(v >> 16);
    p[2] = static_cast<char>(v >> 8);
    p[3] = static_cast<char>(v);
}
inline void putU64(char* p, std::uint64_t v) {
    putU32(p, static_cast<std::uint32_t>(v >> 32));
    putU32(p + 4, static_cast<std::uint32_t>(v));
}

inline void appendU32(std::string& out, std::uint32_t v) {
    char b[4];
    putU32(b, v);
    out.append(b, 4);
}

}  // namespace quill

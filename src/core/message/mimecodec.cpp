#include "message/mimecodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "base/ascii.h"

namespace quill {

namespace {

constexpr std::uint32_t kInvalid = 0x80000000u;

// Each table gives a base64 digit's value already shifted into its place in
// a 24-bit group (or kInvalid), so a whole group is four loads and three ORs.
constexpr std::array<std::uint32_t, 256> base64Table(int shift) {
    std::array<std::uint32_t, 256> t{};
    for (auto& v : t) v = kInvalid;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::uint32_t i = 0; i < 64; ++i) {
        t[static_cast<unsigned char>(alphabet[i])] = i << shift;
    }
    return t;
}

constexpr auto kDigit0 = base64Table(18);
constexpr auto kDigit1 = base64Table(12);
constexpr auto kDigit2 = base64Table(6);
constexpr auto kDigit3 = base64Table(0);

int base64Value(unsigned char c) {
    std::uint32_t v = kDigit3[c];
    return v == kInvalid ? -1 : static_cast<int>(v);
}

// Decodes whole groups of four alphabet digits from `p` into `w` and stops
// at the first group holding anything else ("=", a line break, junk).
const unsigned char* decodeGroups(const unsigned char* p, const unsigned char* end, char*& w) {
    for (; end - p >= 4; p += 4) {
        std::uint32_t group = kDigit0[p[0]] | kDigit1[p[1]] | kDigit2[p[2]] | kDigit3[p[3]];
        if (group & kInvalid) break;
        w[0] = static_cast<char>(group >> 16);
        w[1] = static_cast<char>(group >> 8);
        w[2] = static_cast<char>(group);
        w += 3;
    }
    return p;
}

}  // namespace

// Between groups (the usual case at a line start) whole groups go through the
// table fast path; everything else takes the digit by digit state machine, so
// the result does not depend on how the input is cut into pieces.
void Base64Decoder::feed(std::string_view bytes, std::string& out) {
    std::size_t base = out.size();
    out.resize(base + bytes.size() / 4 * 3 + 3);
    char* w = out.data() + base;
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* end = p + bytes.size();
    while (p < end) {
        if (m_count == 0) {
            const unsigned char* after = decodeGroups(p, end, w);
            if (after != p) m_padding = 0;
            p = after;
            if (p == end) break;
        }
        unsigned char c = *p++;
        int value = 0;
        if (c == '=') {
            ++m_padding;
        } else {
            value = base64Value(c);
            if (value < 0) continue;
            m_padding = 0;
        }
        m_group = (m_group << 6) | static_cast<unsigned long>(value);
        if (++m_count < 4) continue;
        int keep = 3 - (m_padding > 2 ? 2 : m_padding);
        for (int i = 0; i < keep; ++i) *w++ = static_cast<char>(m_group >> (16 - 8 * i));
        m_group = 0;
        m_count = 0;
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}

// Text is copied a line at a time: memchr finds the line's end and each "=",
// whole "=XY" escapes and soft breaks are undone in place, and anything else
// after "=" is left to the state machine. Blanks at the end of a line are
// taken back (never a decoded "=20"): they vanish before a newline and wait
// for the next byte when the input ends; before "=" they stay.
const char* QuotedPrintableDecoder::copyText(const char* p, const char* end, char*& w) {
    while (p < end) {
        if (m_blanks && !settleBlanks(*p, w)) {
            ++p;
            continue;
        }
        const char* lineEnd = find(p, end, '\n');
        const char* plain = p;  // where the bytes copied as they are begin
        const char* stop = copyLine(p, lineEnd, plain, w);
        if (stop < lineEnd && isSoftBreak(stop + 1, lineEnd) && lineEnd < end) {
            p = lineEnd + 1;
            continue;
        }
        if (stop < lineEnd) {
            m_state = State::Equals;
            return stop + 1;
        }
        const char* blanks = stop;
        while (blanks > plain && blanks[-1] == ' ') --blanks;
        m_blanks = static_cast<std::size_t>(stop - blanks);
        w -= m_blanks;
        p = stop;
        if (p == end) break;
        m_blanks = 0;
        *w++ = '\n';
        ++p;
    }
    return p;
}

// Copies [p, lineEnd) up to the first "=" that does not start a whole hex
// escape inside the line, decoding the escapes before it; `plain` is left
// where the text after the last decoded escape begins.
const char* QuotedPrintableDecoder::copyLine(const char* p, const char* lineEnd, const char*& plain,
                                             char*& w) {
    for (;;) {
        const char* equals = find(p, lineEnd, '=');
        std::memcpy(w, p, static_cast<std::size_t>(equals - p));
        w += equals - p;
        if (equals == lineEnd || lineEnd - equals < 3) return equals;
        int high = hexValue(equals[1]), low = hexValue(equals[2]);
        if (high < 0 || low < 0) return equals;
        *w++ = static_cast<char>(high * 16 + low);
        p = plain = equals + 3;
    }
}

// Blanks held from earlier input meet byte c: another blank joins them (false),
// anything else decides whether they are written.
bool QuotedPrintableDecoder::settleBlanks(char c, char*& w) {
    if (c == ' ') {
        ++m_blanks;
        return false;
    }
    if (c != '\n') w = std::fill_n(w, m_blanks, ' ');
    m_blanks = 0;
    return true;
}

// What follows "=" up to the line's end: nothing, or a carriage return.
bool QuotedPrintableDecoder::isSoftBreak(const char* p, const char* lineEnd) {
    return p == lineEnd || (p + 1 == lineEnd && *p == '\r');
}

const char* QuotedPrintableDecoder::find(const char* p, const char* end, char c) {
    const void* found = std::memchr(p, c, static_cast<std::size_t>(end - p));
    return found ? static_cast<const char*>(found) : end;
}

void QuotedPrintableDecoder::put(char c, char*& w) {
    switch (m_state) {
        case State::Text:
            copyText(&c, &c + 1, w);
            return;
        case State::Equals:
            if (c == '\n') {
                m_state = State::Text;
            } else if (c == '\r') {
                m_state = State::EqualsCR;
            } else {
                m_first = c;
                m_state = State::EqualsHex;
            }
            return;
        case State::EqualsCR:
            m_state = State::Text;
            if (c == '\n') return;
            *w++ = '=';
            *w++ = '\r';
            put(c, w);
            return;
        case State::EqualsHex: {
            m_state = State::Text;
            int high = hexValue(m_first), low = hexValue(c);
            if (high >= 0 && low >= 0) {
                *w++ = static_cast<char>(high * 16 + low);
                return;
            }
            *w++ = '=';
            *w++ = m_first;
            put(c, w);
            return;
        }
    }
}

// Output never exceeds the input plus what an earlier piece held back (the
// blanks and at most two bytes of an unfinished escape).
void QuotedPrintableDecoder::feed(std::string_view bytes, std::string& out) {
    std::size_t base = out.size();
    out.resize(base + bytes.size() + m_blanks + 2);
    char* w = out.data() + base;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
        if (m_state == State::Text) {
            p = copyText(p, end, w);
        } else if (m_state == State::Equals && end - p >= 2 && hexValue(p[0]) >= 0 &&
                   hexValue(p[1]) >= 0) {
            *w++ = static_cast<char>(hexValue(p[0]) * 16 + hexValue(p[1]));
            p += 2;
            m_state = State::Text;
        } else {
            put(*p++, w);
        }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}

void QuotedPrintableDecoder::finish(std::string& out) {
    out.append(m_blanks, ' ');
    m_blanks = 0;
    if (m_state == State::Equals) out.push_back('=');
    if (m_state == State::EqualsCR) out += "=\r";
    if (m_state == State::EqualsHex) {
        out.push_back('=');
        out.push_back(m_first);
    }
    m_state = State::Text;
}

std::string decodeBase64(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 4 * 3 + 3);
    Base64Decoder decoder;
    decoder.feed(bytes, out);
    decoder.finish(out);
    return out;
}

std::string decodeQuotedPrintable(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 2);
    QuotedPrintableDecoder decoder;
    decoder.feed(bytes, out);
    decoder.finish(out);
    return out;
}

namespace {

// The decoded bytes are handed on a piece of input at a time through one
// buffer, so a large body is never held decoded whole.
constexpr std::size_t kPieceBytes = 256 << 10;

template <class Decoder>
bool decodeInPieces(std::string_view bytes, const std::function<bool(std::string_view)>& sink) {
    Decoder decoder;
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += kPieceBytes) {
        out.clear();
        decoder.feed(bytes.substr(at, kPieceBytes), out);
        if (!out.empty() && !sink(out)) return false;
    }
    out.clear();
    decoder.finish(out);
    return out.empty() || sink(out);
}

}  // namespace

std::string decodeTransfer(std::string_view bytes, TransferCoding coding) {
    switch (coding) {
        case TransferCoding::Base64:
            return decodeBase64(bytes);
        case TransferCoding::QuotedPrintable:
            return decodeQuotedPrintable(bytes);
        case TransferCoding::Identity:
            break;
    }
    return std::string(bytes);
}

bool decodeTransferInPieces(std::string_view bytes, TransferCoding coding,
                            const std::function<bool(std::string_view)>& sink) {
    switch (coding) {
        case TransferCoding::Base64:
            return decodeInPieces<Base64Decoder>(bytes, sink);
        case TransferCoding::QuotedPrintable:
            return decodeInPieces<QuotedPrintableDecoder>(bytes, sink);
        case TransferCoding::Identity:
            break;
    }
    return sink(bytes);
}

}  // namespace quill

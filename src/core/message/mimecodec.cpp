#include "message/mimecodec.h"

namespace quill {

namespace {

int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

void Base64Decoder::feed(std::string_view bytes, std::string& out) {
    for (unsigned char c : bytes) {
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
        for (int i = 0; i < keep; ++i) out.push_back(static_cast<char>(m_group >> (16 - 8 * i)));
        m_group = 0;
        m_count = 0;
    }
}

void QuotedPrintableDecoder::put(char c, std::string& out) {
    switch (m_state) {
        case State::Text:
            if (c == ' ') {
                ++m_blanks;
                return;
            }
            if (c != '\n') out.append(m_blanks, ' ');
            m_blanks = 0;
            if (c == '=')
                m_state = State::Equals;
            else
                out.push_back(c);
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
            out += "=\r";
            put(c, out);
            return;
        case State::EqualsHex: {
            m_state = State::Text;
            int high = hexValue(m_first), low = hexValue(c);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                return;
            }
            out.push_back('=');
            out.push_back(m_first);
            put(c, out);
            return;
        }
    }
}

void QuotedPrintableDecoder::feed(std::string_view bytes, std::string& out) {
    for (char c : bytes) put(c, out);
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
    out.reserve(bytes.size() / 4 * 3);
    Base64Decoder decoder;
    decoder.feed(bytes, out);
    decoder.finish(out);
    return out;
}

std::string decodeQuotedPrintable(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    QuotedPrintableDecoder decoder;
    decoder.feed(bytes, out);
    decoder.finish(out);
    return out;
}

}  // namespace quill

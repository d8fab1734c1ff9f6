#include "message/headerword.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/Diagnostics.h"
#include "base/ascii.h"

namespace quill {
namespace {

// RFC 1522:  encoded-word = "=?" charset "?" encoding "?" encoded-text "?="
// Only the "Q" form of ISO 8859-1, the system's own set, is decoded; other
// charsets pass through byte for byte and "B" words keep their text.

constexpr std::size_t kMaxCharset = 79;

bool isLatin1(const std::string& charset) { return equalsIgnoringCase(charset, "iso-8859-1"); }

// Output is written behind the read position over the same bytes.
class WordDecoder {
  public:
    WordDecoder(char* text, std::size_t length) : m_text(text), m_length(length) {}

    std::size_t run() {
        while (m_in < m_length) {
            if (startsWord()) {
                if (!decodeWord()) break;
            } else {
                m_text[m_out++] = m_text[m_in++];
            }
        }
        return m_out;
    }

  private:
    bool startsWord() const {
        return m_text[m_in] == '=' && m_in + 1 < m_length && m_text[m_in + 1] == '?';
    }
    bool endsWord() const {
        return m_text[m_in] == '?' && m_in + 1 < m_length && m_text[m_in + 1] == '=';
    }

    // Diagnostics quote the text as given, so keep it before overwriting.
    void saveOriginal() {
        if (!m_saved) m_original.assign(m_text, m_length);
        m_saved = true;
    }

    // Reads "=?charset?E?" and the encoded text up to "?="; false when the
    // text ends before the charset does, which ends the output.
    bool decodeWord() {
        saveOriginal();
        std::size_t start = m_in + 2;
        const void* mark = std::memchr(m_text + start, '?', m_length - start);
        if (!mark) {
            logRaw(formatString("Missing terminating '?' in MIME 8-bit header: %s\n",
                                m_original.c_str()));
            return false;
        }
        std::size_t question = static_cast<const char*>(mark) - m_text;
        std::string charset(m_original, start, std::min(question - start, kMaxCharset));
        m_in = question + 1;
        std::string encoding;
        if (m_in < m_length) encoding = toUpper(m_text[m_in++]);
        bool marked = m_in < m_length && m_text[m_in] == '?';
        if (!marked || (encoding != "Q" && encoding != "B"))
            logRaw(formatString("Malformed MIME 8-bit header encoding: =?%s?%s%s\n",
                                charset.c_str(), encoding.c_str(), m_original.c_str() + m_in));
        if (!isLatin1(charset))
            logRaw(formatString("Header charset %s is unsupported\n", charset.c_str()));
        if (marked) ++m_in;
        if (encoding == "B") {
            logRaw("Sorry, can't decode MIME BASE64 headers yet\n");
            copyEncoded();
        } else {
            decodeQ();
        }
        return true;
    }

    // Moves past "?=" when it ends the word.
    bool finishWord() {
        if (!endsWord()) return false;
        m_in += 2;
        return true;
    }

    void copyEncoded() {
        while (m_in < m_length && !finishWord()) m_text[m_out++] = m_text[m_in++];
    }

    void decodeQ() {
        while (m_in < m_length && !finishWord()) {
            char c = m_text[m_in++];
            if (c == '_') {
                m_text[m_out++] = ' ';
            } else if (c == '=' && m_in < m_length && m_text[m_in] == '\n') {
                ++m_in;  // soft line break
            } else if (c == '=' && m_in + 1 < m_length && hexValue(m_text[m_in]) >= 0 &&
                       hexValue(m_text[m_in + 1]) >= 0) {
                m_text[m_out++] = char(hexValue(m_text[m_in]) * 16 + hexValue(m_text[m_in + 1]));
                m_in += 2;
            } else {
                m_text[m_out++] = c;  // a stray "=" is kept rather than lost
            }
        }
    }

    char* m_text;
    std::size_t m_length;
    std::size_t m_in = 0;
    std::size_t m_out = 0;
    std::string m_original;
    bool m_saved = false;
};

}  // namespace

std::size_t decodeMimeHeaderWords(char* text, std::size_t length) {
    // Most header values hold no encoded word at all.
    if (length < 2 || !std::memchr(text, '?', length)) return length;
    return WordDecoder(text, length).run();
}

char* decodeMimeHeaderWords(char* text) {
    std::size_t length = decodeMimeHeaderWords(text, std::strlen(text));
    text[length] = '\0';
    return text;
}

void decodeMimeHeaderWords(std::string& text) {
    text.resize(decodeMimeHeaderWords(text.data(), text.size()));
}

}  // namespace quill

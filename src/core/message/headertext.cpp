#include "message/headertext.h"

#include <optional>

#include "base/ByteSource.h"
#include "base/ascii.h"
#include "message/unicode.h"

namespace quill {
namespace {

// RFC 2047 with the RFC 2231 language suffix:
//   encoded-word = "=?" charset ["*" language] "?" encoding "?" encoded-text "?="
// encoded-text holds no white space; the charset is read up to the first "?".
struct EncodedWord {
    std::string charset;
    std::string bytes;  // the decoded octets, still in charset
    std::size_t end;    // just past "?="
};

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Missing padding is forgiven, as every mail reader does; any other byte
// outside the alphabet makes the word malformed.
std::optional<std::string> decodeB(std::string_view text) {
    while (!text.empty() && text.back() == '=') text.remove_suffix(1);
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        int v = base64Value(c);
        if (v < 0) return std::nullopt;
        bits = (bits << 6) | unsigned(v);
        if ((count += 6) >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

// "_" is a space; "=" not followed by two hex digits stays as it is.
std::string decodeQ(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_') {
            out.push_back(' ');
        } else if (text[i] == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::optional<EncodedWord> parseWord(std::string_view text, std::size_t at) {
    std::size_t charsetEnd = text.find('?', at + 2);
    if (charsetEnd == std::string_view::npos || charsetEnd == at + 2) return std::nullopt;
    if (charsetEnd + 2 >= text.size() || text[charsetEnd + 2] != '?') return std::nullopt;
    char encoding = text[charsetEnd + 1];
    std::size_t textStart = charsetEnd + 3;
    std::size_t textEnd = text.find("?=", textStart);
    if (textEnd == std::string_view::npos) return std::nullopt;
    std::string_view charset = text.substr(at + 2, charsetEnd - at - 2);
    std::string_view encoded = text.substr(textStart, textEnd - textStart);
    for (char c : std::string(charset) + std::string(encoded))
        if (isMailSpace(c)) return std::nullopt;
    charset = charset.substr(0, charset.find('*'));
    std::optional<std::string> bytes;
    if (encoding == 'B' || encoding == 'b') bytes = decodeB(encoded);
    if (encoding == 'Q' || encoding == 'q') bytes = decodeQ(encoded);
    if (!bytes) return std::nullopt;
    return EncodedWord{std::string(charset), std::move(*bytes), textEnd + 2};
}

// Collects the output. Adjacent words in one charset are converted together,
// since senders split a multibyte character between words more often than not.
class Joiner {
  public:
    void addText(std::string_view raw) {
        flushWords();
        m_out += utf8OrLatin1(raw);
    }
    void addWord(EncodedWord&& word) {
        if (m_hasPending && !equalsIgnoringCase(m_charset, word.charset)) flushWords();
        m_charset = std::move(word.charset);
        m_pending += word.bytes;
        m_hasPending = true;
    }
    std::string finish() {
        flushWords();
        return std::move(m_out);
    }

  private:
    void flushWords() {
        if (m_hasPending) m_out += textToUtf8(m_pending, m_charset);
        m_pending.clear();
        m_hasPending = false;
    }

    std::string m_out;
    std::string m_charset;
    std::string m_pending;
    bool m_hasPending = false;
};

std::string unfolded(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value)
        if (c != '\r' && c != '\n') out.push_back(c);
    return out;
}

}  // namespace

std::string headerTextToUtf8(std::string_view value) {
    std::string text = unfolded(value);
    Joiner joiner;
    std::size_t plainStart = 0;
    std::size_t afterWord = std::string::npos;
    for (std::size_t at = text.find("=?"); at != std::string::npos; at = text.find("=?", at)) {
        std::optional<EncodedWord> word = parseWord(text, at);
        if (!word) {
            at += 2;
            continue;
        }
        std::string_view between(text.data() + plainStart, at - plainStart);
        bool onlySpace = between.find_first_not_of(" \t") == std::string_view::npos;
        if (!(afterWord == plainStart && onlySpace)) joiner.addText(between);
        plainStart = afterWord = word->end;
        joiner.addWord(std::move(*word));
        at = plainStart;
    }
    joiner.addText(std::string_view(text).substr(plainStart));
    return joiner.finish();
}

std::unique_ptr<MailHeaders> displayHeaders(std::string_view messageText) {
    ByteSource stream(messageText);
    std::unique_ptr<MailHeaders> block = MailHeaders::initFromStream(stream);
    if (!block) return nullptr;
    for (int i = 0; i < block->count(); ++i)
        block->setValueNoCopyAt(headerTextToUtf8(block->valueAt(i)), i);
    return block;
}

MailHeaders::RunSink utf8Runs(const MailHeaders::RunSink& out) {
    return [out](std::string_view run, bool bold) { out(utf8OrLatin1(run), bold); };
}

}  // namespace quill

// Transfer decoding of MIME bodies: base64 and quoted-printable. Each decoder
// is a small state machine fed bytes in pieces of any size, so a body read in
// one piece and the same body fed a byte at a time decode alike.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quill {

// Bytes outside the base64 alphabet are skipped; "=" counts as a zero digit
// and as padding. Decoding goes on after padding, so concatenated encodings
// are joined; an incomplete final group is dropped.
class Base64Decoder {
  public:
    void feed(std::string_view bytes, std::string& out);
    void finish(std::string& out) { (void)out; }

  private:
    unsigned long m_group = 0;
    int m_count = 0;
    int m_padding = 0;  // "=" seen since the last other significant character
};

// "=" + newline is a soft line break, "=XY" a hex byte, blanks before a
// newline vanish. Anything else after "=" is kept as it is.
class QuotedPrintableDecoder {
  public:
    void feed(std::string_view bytes, std::string& out);
    // Writes what is still held back (a trailing "=", blanks at the very end).
    void finish(std::string& out);

  private:
    const char* copyText(const char* p, const char* end, char*& w);
    static const char* copyLine(const char* p, const char* lineEnd, const char*& plain, char*& w);
    static const char* find(const char* p, const char* end, char c);
    static bool isSoftBreak(const char* p, const char* lineEnd);
    bool settleBlanks(char c, char*& w);
    void put(char c, char*& w);
    enum class State { Text, Equals, EqualsCR, EqualsHex };
    State m_state = State::Text;
    char m_first = 0;
    size_t m_blanks = 0;
};

std::string decodeBase64(std::string_view bytes);
std::string decodeQuotedPrintable(std::string_view bytes);

// A body's "Content-Transfer-Encoding", as far as it needs undoing.
enum class TransferCoding { Identity, Base64, QuotedPrintable };

std::string decodeTransfer(std::string_view bytes, TransferCoding coding);
// The same handed to sink a piece at a time, in order, the pieces joined
// being decodeTransfer's result; false as soon as sink answers false.
bool decodeTransferInPieces(std::string_view bytes, TransferCoding coding,
                            const std::function<bool(std::string_view)>& sink);

}  // namespace quill

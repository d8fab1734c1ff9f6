#include "message/unicode.h"

#include <errno.h>
#include <iconv.h>

#include "base/ascii.h"

namespace quill {
namespace {

// Labels seen in mail that iconv spells differently. Mail labelled GB2312 is
// nearly always written by software that emits GBK, its superset.
struct CharsetAlias {
    std::string_view label;
    const char* iconvName;
};

constexpr CharsetAlias kAliases[] = {
    {"ks_c_5601-1987", "CP949"},    {"x-sjis", "SHIFT_JIS"}, {"gb2312", "GBK"},
    {"iso-8859-8-i", "ISO-8859-8"}, {"x-gbk", "GBK"},        {"utf8", "UTF-8"},
    {"x-euc-jp", "EUC-JP"},         {"cp-850", "CP850"},
};

constexpr std::size_t kLongestCharset = 40;

bool isCharsetByte(char c) { return isAlnum(c) || c == '-' || c == '_' || c == '.' || c == ':'; }

// The iconv name of a mail charset label, or nothing when the label could
// not be one: iconv reads "//" suffixes as options, so only plain names pass.
std::optional<std::string> iconvName(std::string_view label) {
    if (label.empty() || label.size() > kLongestCharset) return std::nullopt;
    for (char c : label)
        if (!isCharsetByte(c)) return std::nullopt;
    for (const CharsetAlias& alias : kAliases)
        if (equalsIgnoringCase(label, alias.label)) return std::string(alias.iconvName);
    return std::string(label);
}

// Owns one iconv descriptor.
class Converter {
  public:
    explicit Converter(const std::string& from) : m_cd(::iconv_open("UTF-8", from.c_str())) {}
    ~Converter() {
        if (ok()) ::iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // False on an invalid or incomplete sequence.
    bool run(std::string_view bytes, std::string& out) {
        char* in = const_cast<char*>(bytes.data());
        std::size_t inLeft = bytes.size();
        char buffer[4096];
        while (true) {
            char* to = buffer;
            std::size_t toLeft = sizeof buffer;
            std::size_t done = ::iconv(m_cd, inLeft ? &in : nullptr, &inLeft, &to, &toLeft);
            out.append(buffer, to);
            if (done != static_cast<std::size_t>(-1)) {
                if (inLeft == 0) return finish(out);
                continue;
            }
            if (errno != E2BIG) return false;
        }
    }

  private:
    // A stateful charset (ISO-2022-JP) may owe a shift back to its initial state.
    bool finish(std::string& out) {
        char buffer[64];
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        if (::iconv(m_cd, nullptr, nullptr, &to, &toLeft) == static_cast<std::size_t>(-1))
            return false;
        out.append(buffer, to);
        return true;
    }

    iconv_t m_cd;
};

}  // namespace

std::optional<std::string> convertToUtf8(std::string_view bytes, std::string_view charset) {
    std::optional<std::string> name = iconvName(charset);
    if (!name) return std::nullopt;
    Converter converter(*name);
    if (!converter.ok()) return std::nullopt;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    if (!converter.run(bytes, out)) return std::nullopt;
    return out;
}

std::string utf8OrLatin1(std::string_view bytes) {
    return isValidUtf8(bytes) ? std::string(bytes) : latin1ToUtf8(bytes);
}

std::string textToUtf8(std::string_view bytes, std::string_view charset) {
    // iconv's own UTF-8 reader lets a few ill-formed sequences through.
    std::optional<std::string> text = convertToUtf8(bytes, charset);
    if (text && isValidUtf8(*text)) return std::move(*text);
    return utf8OrLatin1(bytes);
}

}  // namespace quill

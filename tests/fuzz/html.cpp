// libFuzzer harness for the HTML path of the Unicode display: the input's
// first line names a charset, the rest is the body, converted to UTF-8 as a
// text/html part is and read into formatted text. The result must be valid
// UTF-8 and hold no cell: an HTML body never yields anything fetchable.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "message/unicode.h"
#include "richtext/HtmlReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t newline = input.find('\n');
    std::string_view charset = newline == std::string_view::npos ? "" : input.substr(0, newline);
    std::string_view body = newline == std::string_view::npos ? input : input.substr(newline + 1);
    std::string html = quill::textToUtf8(body, charset);
    quill::RichText text = quill::HtmlReader::read(html, quill::CharFormat());
    if (!quill::isValidUtf8(text.plainText()) || !text.attachments().empty()) __builtin_trap();
    return 0;
}

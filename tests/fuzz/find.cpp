// Message bytes searched by find: the first byte chooses the options, the
// bytes up to the first newline are the find text, the rest is the message.
// A literal search must agree with a plain byte-by-byte one.
#include <cstdlib>
#include <string>

#include "base/ascii.h"
#include "reader/FindExpression.h"
#include "reader/literalsearch.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

namespace {

std::size_t plainFind(std::string_view hay, std::string_view needle, bool fold) {
    for (std::size_t at = 0; at + needle.size() <= hay.size(); ++at) {
        std::string_view here = hay.substr(at, needle.size());
        if (fold ? lowercased(here) == needle : here == needle) return at;
    }
    return std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    if (size < 1) return 0;
    std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    bool fold = data[0] & 1, regExpr = data[0] & 2;
    std::size_t newline = input.find('\n');
    if (newline == std::string_view::npos) return 0;
    std::string text(input.substr(0, newline));
    std::string message(input.substr(newline + 1));
    std::string needle = literalNeedle(text, fold);
    if (findLiteral(message, needle, fold) != plainFind(message, needle, fold)) std::abort();
    if (auto expression = FindExpression::compile({text, fold, regExpr, true}))
        expression->matches(message);
    return 0;
}

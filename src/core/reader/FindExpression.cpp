#include "reader/FindExpression.h"

#include <cstring>

#include "reader/literalsearch.h"
#include "store/MailBox.h"

namespace quill {
namespace {

constexpr std::size_t kEscapedLimit = 1022;
constexpr const char* kSpecial = "^.*$[\\";

bool isSpecial(char c) { return c != '\0' && std::strchr(kSpecial, c) != nullptr; }

}  // namespace

std::size_t FindExpression::escapedLength(std::string_view text) {
    std::size_t held = 0, taken = 0;
    while (taken < text.size() && held < kEscapedLimit) {
        held += isSpecial(text[taken]) ? 2 : 1;
        ++taken;
    }
    return taken;
}

std::string FindExpression::escaped(std::string_view text) {
    std::string copy;
    for (char c : text.substr(0, escapedLength(text))) {
        if (isSpecial(c)) copy += '\\';
        copy += c;
    }
    return copy;
}

std::unique_ptr<FindExpression> FindExpression::compile(const FindOptions& options) {
    if (options.text.empty()) return nullptr;
    std::unique_ptr<FindExpression> expression(new FindExpression);
    expression->m_foldCase = options.ignoreCase;
    if (!options.regExpr) {
        std::string_view text = options.text;
        expression->m_needle =
            literalNeedle(text.substr(0, escapedLength(text)), options.ignoreCase);
        return expression;
    }
    int flags = options.ignoreCase ? REG_ICASE : 0;
    if (compileFindExpression(expression->m_regex, options.text.c_str(), flags) != 0)
        return nullptr;
    expression->m_literal = false;
    return expression;
}

FindExpression::~FindExpression() {
    if (!m_literal) ::regfree(&m_regex);
}

bool FindExpression::matches(std::string_view bytes) const {
    if (m_literal) return findLiteral(bytes, m_needle, m_foldCase) != std::string_view::npos;
    regmatch_t m[1];
    m[0].rm_so = 0;
    m[0].rm_eo = static_cast<regoff_t>(bytes.size());
    return ::regexec(&m_regex, bytes.data(), 1, m, REG_STARTEND) == 0;
}

}  // namespace quill

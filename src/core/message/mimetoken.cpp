#include "message/mimetoken.h"

#include "base/Diagnostics.h"
#include "base/ascii.h"

namespace quill {

namespace {

constexpr std::string_view kTSpecials = "()<>@,;:\\\"/[]?=";

std::string_view withoutX(std::string_view token) {
    if (token.size() >= 2 && (token[0] == 'x' || token[0] == 'X') && token[1] == '-')
        token.remove_prefix(2);
    return token;
}

bool isUnquotedSpecial(unsigned char c) {
    return kTSpecials.find(static_cast<char>(c)) != std::string_view::npos || c < 32 || c == ' ' ||
           c >= 127;
}

void skipBlanks(std::string_view text, size_t& pos) {
    while (pos < text.size() && isMailSpace(text[pos])) ++pos;
}

}  // namespace

bool isKeyEqual(std::string_view a, std::string_view b) {
    if (a.data() == b.data() && a.size() == b.size()) return true;
    return equalsIgnoringCase(withoutX(a), withoutX(b));
}

bool isKeyEqual(const std::optional<std::string>& a, std::string_view b) {
    return a && isKeyEqual(std::string_view(*a), b);
}

std::optional<std::string> parseMimeToken(std::string_view text, size_t& pos,
                                          std::string_view delimiters, bool lower) {
    skipBlanks(text, pos);
    bool quoted = pos < text.size() && text[pos] == '"';
    if (quoted) ++pos;
    std::string token;
    bool inComment = false;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '\\') {
            if (++pos < text.size()) token.push_back(text[pos]);
            continue;
        }
        if (quoted) {
            if (c == '"') {
                ++pos;
                break;
            }
            token.push_back(c);
            continue;
        }
        if (!inComment && c == '(') {
            inComment = true;
            continue;
        }
        if (inComment && c == ')') {
            inComment = false;
            continue;
        }
        if ((delimiters.find(c) != std::string_view::npos || isMailSpace(c))) break;
        if (lower) c = toLower(c);
        if (isUnquotedSpecial(static_cast<unsigned char>(c))) {
            std::string rest(text.substr(pos));
            logWarning("MimeMessage", "Header contains unquoted tspecial value: %s", rest.c_str());
        }
        token.push_back(c);
    }
    skipBlanks(text, pos);
    if (pos < text.size() && delimiters.find(text[pos]) != std::string_view::npos) ++pos;
    if (token.empty()) return std::nullopt;
    return token;
}

}  // namespace quill

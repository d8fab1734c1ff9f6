// FindExpression: what the find panel's text and options search for. With
// the regular-expression option off the text is searched literally (cut at
// the length the escaped copy is allowed); with it on it is a POSIX basic
// expression matched with REG_NEWLINE, so a match keeps to one line. Literal
// text is found by findLiteral, which gives the same answers as the escaped
// expression and is many times faster.
#pragma once

#include <regex.h>

#include <memory>
#include <string>
#include <string_view>

namespace quill {

struct FindOptions {
    std::string text;
    bool ignoreCase = true;
    bool regExpr = false;
    bool searchMessages = false;  // the "Messages" scope; "Summaries" otherwise
};

class FindExpression {
  public:
    // The expression of the options, or nullptr when the text is empty or
    // does not compile.
    static std::unique_ptr<FindExpression> compile(const FindOptions& options);
    // The literal copy of a text: a backslash before each of ^ . * $ [ and \,
    // stopping once the copy holds 1022 characters.
    static std::string escaped(std::string_view text);
    // How much of `text` the escaped copy holds.
    static std::size_t escapedLength(std::string_view text);

    FindExpression(const FindExpression&) = delete;
    FindExpression& operator=(const FindExpression&) = delete;
    ~FindExpression();

    // Whether any line of `bytes` matches. The bytes must lie in a buffer
    // with a NUL somewhere after them (a std::string's): the matcher keeps to
    // the view, but sanitizer builds measure it as a C string.
    bool matches(std::string_view bytes) const;

  private:
    FindExpression() = default;

    bool m_literal = true;
    bool m_foldCase = true;
    std::string m_needle;
    regex_t m_regex{};
};

}  // namespace quill

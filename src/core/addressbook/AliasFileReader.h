// AliasFileReader: the two text formats of the address book. Alias files (the
// global ones and the private ".mailalias"): "name: member, member" per line,
// tab-led, empty and "#" lines starting no entry, a list running on past a line
// that ends in a comma. Password files: the text before the first colon is a
// user name. Readers never fail: a line they cannot read is counted and skipped
// so the rest of the file still loads.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class AliasFileReader {
  public:
    struct Result {
        int entries = 0;
        int skipped = 0;           // lines that name nothing
        int firstSkippedLine = 0;  // 1-based; 0 when none
    };
    // name as written (blanks before the colon kept) and the member list's text,
    // both views into the text.
    using AliasVisitor = std::function<void(std::string_view name, std::string_view memberText)>;
    using UserVisitor = std::function<void(std::string_view name)>;

    static Result readAliases(std::string_view text, const AliasVisitor& visit);
    static Result readUsers(std::string_view text, const UserVisitor& visit);
    // The members of a list: split at commas, each from its first non-white
    // character (trailing blanks kept), empty ones dropped; when a colon comes
    // before the first comma the members start after the last such colon.
    static std::vector<std::string> parseMembers(std::string_view memberText);
    // The list's first line from its first non-blank character: what the
    // classification of global aliases looks at.
    static std::string_view firstMemberLine(std::string_view memberText);

  private:
    static void readAliasLine(std::string_view text, size_t begin, size_t end, int lineNumber,
                              Result& result, const AliasVisitor& visit);
    static size_t listEnd(std::string_view text, size_t from);
    static void skipLine(Result& result, int lineNumber);
};

}  // namespace quill

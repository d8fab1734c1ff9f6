// StringList: an ordered list of strings, used for address lists (recipients,
// reply addresses). Entries are compared as addresses: without comments and
// ignoring letter case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill {

class StringList {
  public:
    // Splits an address line at its address commas, trims blanks, skips empty
    // pieces and appends each.
    void addParsedAddressesFrom(std::string_view line);
    void addString(std::string_view text);

    int count() const { return static_cast<int>(m_strings.size()); }
    const std::string& stringAt(int index) const { return m_strings.at(index); }
    const char* cstringAt(int index) const { return stringAt(index).c_str(); }

    // Removes every entry whose bare address equals that of `address`, ignoring case.
    void removeAddress(std::string_view address);
    // Removes the user's own addresses (isMyAddress).
    void removeMyAddress();
    // Keeps the first of entries whose bare addresses are equal ignoring case.
    void removeDuplicateAddresses();
    // Replaces each entry by its bare address.
    void removeAddressComments();
    // The entries joined with ", ".
    std::string commaizedStringValue() const;

    auto begin() const { return m_strings.begin(); }
    auto end() const { return m_strings.end(); }

  private:
    std::vector<std::string> m_strings;
};

}  // namespace quill

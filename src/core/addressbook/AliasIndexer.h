// AliasIndexer: the rows of the address-book window's second column for each
// category, counted once per category and kept until the book changes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "addressbook/Alias.h"

namespace quill {

class AliasIndexer {
  public:
    enum Category { Users, Groups, LoginNames, PrivateUsers, PrivateGroups, kCategoryCount };
    // The categories' titles ("UI" table texts).
    static const char* title(int category);

    explicit AliasIndexer(Alias& alias) : m_alias(alias) {}
    const std::vector<std::string>& names(int category);
    // Forgets every count, after an edit.
    void invalidate() { m_names = {}; }

  private:
    std::vector<std::string> collect(int category);

    Alias& m_alias;
    std::array<std::optional<std::vector<std::string>>, kCategoryCount> m_names;
};

}  // namespace quill

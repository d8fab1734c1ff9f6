#include "addressbook/AliasIndexer.h"

namespace quill {

const char* AliasIndexer::title(int category) {
    static const char* const titles[] = {"Users", "Groups", "Login Names", "Private Users",
                                         "Private Groups"};
    return titles[category];
}

const std::vector<std::string>& AliasIndexer::names(int category) {
    auto& cached = m_names.at(category);
    if (!cached) cached = collect(category);
    return *cached;
}

std::vector<std::string> AliasIndexer::collect(int category) {
    AliasBook& book = m_alias.book();
    if (category == PrivateGroups) return m_alias.privateAliases().aliaslist();
    if (category == PrivateUsers) {
        AliasEntry* list = book.privateUsers();
        if (!list) return {};
        list->parseMembers();
        return list->members;
    }
    std::vector<std::string> names;
    for (const AliasEntry* entry : book.table()) {
        bool shown = category == LoginNames
                         ? !entry->alias
                         : entry->alias && !entry->local && entry->group == (category == Groups);
        if (shown) names.push_back(entry->name);
    }
    return names;
}

}  // namespace quill

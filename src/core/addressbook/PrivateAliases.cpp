#include "addressbook/PrivateAliases.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "addressbook/AliasSources.h"
#include "base/FileHandles.h"
#include "message/fieldutil.h"
#include "platform/UserInfo.h"

namespace quill {
namespace {

bool lessIgnoringCase(std::string_view a, std::string_view b) {
    return AliasEntry::compareIgnoringCase(a, b) < 0;
}

void appendEntry(std::string& out, AliasEntry& entry) {
    entry.parseMembers();
    if (entry.removed || entry.members.empty()) return;
    out += entry.name;
    out += ':';
    // A colon before the first comma would cut the first member when the file
    // is read again; an empty member ahead of it keeps it whole.
    if (entry.members[0].find(':') != std::string::npos) out += ',';
    for (size_t i = 0; i < entry.members.size(); ++i) {
        if (i > 0) out += ',';
        out += entry.members[i];
    }
    out += '\n';
}

// The file separates members by commas and entries by lines: a name holding
// either is kept as its bare address, or not at all.
std::optional<std::string> storableMember(const std::string& name) {
    auto storable = [](const std::string& s) {
        return !s.empty() && s.find_first_of(",\n") == std::string::npos;
    };
    if (storable(name)) return name;
    std::string bare = uncommentedAddress(name);
    if (storable(bare)) return bare;
    return std::nullopt;
}

bool makeParentDirectories(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string dir = path.substr(0, slash);
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

}  // namespace

PrivateAliases::PrivateAliases(AliasBook& book, std::string path)
    : m_book(book), m_path(std::move(path)) {}

PrivateAliases::NewGroup PrivateAliases::newGroup(const std::string& name) {
    if (AliasEntry* existing = m_book.getentry(name)) {
        if (existing->local) return NewGroup::ExistsAsPrivate;
        return existing->alias ? NewGroup::ExistsAsGlobal : NewGroup::ExistsAsUser;
    }
    groupList();  // built before the new entry joins the table
    AliasEntry* entry = makeGroup(name);
    entry->local = entry->alias = entry->group = true;
    listGroup(entry->name);
    m_modified = true;
    return NewGroup::Created;
}

AliasEntry* PrivateAliases::makeGroup(const std::string& name) {
    if (AliasEntry* removed = m_book.removedEntry(name)) {
        removed->removed = false;
        m_book.insertIntoTable(*removed);
        return removed;
    }
    AliasEntry* entry = m_book.addOwned(name);
    entry->members.push_back(currentUser().loginName);
    return entry;
}

void PrivateAliases::listGroup(const std::string& name) {
    std::vector<std::string>& list = groupList();
    list.insert(std::upper_bound(list.begin(), list.end(), name, lessIgnoringCase), name);
}

bool PrivateAliases::addUser(const std::string& name, std::string_view group) {
    AliasEntry* entry = m_book.getentry(group);
    std::optional<std::string> member = storableMember(name);
    if (!entry || !member) return false;
    if (!entry->hasMember(*member)) {
        entry->addMemberSorted(*member);
        m_modified = true;
    }
    return true;
}

bool PrivateAliases::addPrivateName(const std::string& name) {
    if (!storableMember(name)) return false;
    if (!m_book.privateUsers()) {
        if (m_book.getentry(kPrivateUsersName)) return false;  // a global name holds the key
        AliasEntry* list = m_book.addOwned(kPrivateUsersName);
        list->local = list->alias = list->group = list->privateUsers = true;
        m_book.setPrivateUsers(list);
    }
    return addUser(name, kPrivateUsersName);
}

void PrivateAliases::removeUser(int index, std::string_view group) {
    AliasEntry* entry = m_book.getentry(group);
    if (!entry || index < 0 || index >= entry->memberCount()) return;
    entry->members.erase(entry->members.begin() + index);
    m_modified = true;
}

void PrivateAliases::removeAlias(int index, std::string_view name) {
    std::vector<std::string>& list = groupList();
    auto at = index >= 0 && index < static_cast<int>(list.size()) && list[index] == name
                  ? list.begin() + index
                  : std::find(list.begin(), list.end(), name);
    if (at != list.end()) list.erase(at);
    removeAlias(name);
}

void PrivateAliases::removeAlias(std::string_view name) {
    AliasEntry* entry = m_book.getentry(name);
    if (!entry) return;
    m_book.takeOutOfTable(*entry);
    m_modified = true;
    if (entry->ownedMembers) return m_book.free(*entry);
    entry->removed = true;
    entry->members.clear();
}

std::string PrivateAliases::fileText() {
    std::string out;
    AliasEntry* privateUsers = m_book.privateUsers();
    if (privateUsers) appendEntry(out, *privateUsers);
    std::vector<AliasEntry*> others;
    for (const auto& entry : m_book.entries()) {
        if (entry->local && entry.get() != privateUsers) others.push_back(entry.get());
    }
    std::stable_sort(others.begin(), others.end(), [](const AliasEntry* a, const AliasEntry* b) {
        return lessIgnoringCase(a->name, b->name);
    });
    for (AliasEntry* entry : others) appendEntry(out, *entry);
    return out;
}

bool PrivateAliases::savePrivateUsers() {
    if (!makeParentDirectories(m_path)) return false;
    TempFile file(m_path, 0600);
    if (!file.valid() || !file.write(fileText()) || !file.commit()) return false;
    m_modified = false;
    return true;
}

std::vector<std::string>& PrivateAliases::groupList() {
    if (m_aliasList) return *m_aliasList;
    m_aliasList.emplace();
    for (AliasEntry* entry : m_book.table()) {
        if (entry->local && !entry->privateUsers) m_aliasList->push_back(entry->name);
    }
    std::stable_sort(m_aliasList->begin(), m_aliasList->end(), lessIgnoringCase);
    return *m_aliasList;
}

}  // namespace quill

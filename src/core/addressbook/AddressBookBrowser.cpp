#include "addressbook/AddressBookBrowser.h"

#include <algorithm>

#include "addressbook/ComposeAddressTarget.h"
#include "platform/Localized.h"
#include "platform/Panels.h"

namespace quill {
namespace {

using C = AliasIndexer::Category;

// Leading and trailing white space removed, newlines turned into blanks.
std::string fieldText(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return {};
    std::string out = text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
}

bool containsIgnoringCase(const std::string& text, const std::string& part) {
    return AliasEntry::keyOf(text).find(AliasEntry::keyOf(part)) != std::string::npos;
}

}  // namespace

AddressBookBrowser::AddressBookBrowser(Alias& alias) : m_alias(alias), m_indexer(alias) {
    for (int c = 0; c < C::kCategoryCount; ++c)
        m_categories.push_back(localized(kUITable, AliasIndexer::title(c)));
}

void AddressBookBrowser::windowWillShow() {
    m_alias.book().classify();
    edited();
}

void AddressBookBrowser::edited() {
    m_indexer.invalidate();
    select(kNames, std::min(m_selected[kNames], rowCount(kNames) - 1));
}

const std::vector<std::string>& AddressBookBrowser::rows(int column) {
    static const std::vector<std::string> none;
    if (column == kCategories) return m_categories;
    if (category() < 0) return none;
    if (column == kNames) return m_indexer.names(category());
    return m_members;
}

int AddressBookBrowser::rowCount(int column) { return static_cast<int>(rows(column).size()); }

const std::string& AddressBookBrowser::rowText(int column, int row) { return rows(column).at(row); }

int AddressBookBrowser::currentColumn() const {
    if (m_selected[kMembers] >= 0) return kMembers;
    return category() >= 0 ? kNames : kCategories;
}

bool AddressBookBrowser::leadsFurther(int column) const {
    if (column == kCategories) return true;
    return column == kNames && category() != C::LoginNames && category() != C::PrivateUsers;
}

void AddressBookBrowser::select(int column, int row) {
    m_selected[column] = row;
    for (int right = column + 1; right < kColumnCount; ++right) m_selected[right] = -1;
    if (column > kNames) return;
    m_members.clear();
    if (m_selected[kNames] < 0) return;
    if (AliasEntry* entry = m_alias.book().getentry(rowText(kNames, m_selected[kNames])))
        m_members = entry->members;
}

int AddressBookBrowser::typeAhead(const std::string& typed) {
    if (typed.empty()) return -1;
    int column = currentColumn();
    const std::vector<std::string>& names = rows(column);
    for (int row = 0; row < static_cast<int>(names.size()); ++row) {
        std::string lowered = AliasEntry::keyOf(names[row]);
        if (lowered.compare(0, typed.size(), typed) == 0) {
            select(column, row);
            return row;
        }
        // Rows are sorted: none further on can begin with the typed text.
        if (!lowered.empty() &&
            static_cast<unsigned char>(lowered[0]) > static_cast<unsigned char>(typed[0]))
            break;
    }
    return -1;
}

void AddressBookBrowser::add(const std::string& nameField) {
    std::string name = fieldText(nameField);
    if (name.empty()) {
        runAlert("Add", "No name entered", "OK", nullptr, nullptr);
    } else if (category() == C::PrivateUsers) {
        if (!m_alias.privateAliases().addPrivateName(name)) {
            runAlert("Add Private User", "Can't add %s", "OK", nullptr, nullptr, name.c_str());
            return;
        }
        edited();
        selectText(kNames, name);
    } else if (category() == C::PrivateGroups && m_selected[kNames] < 0) {
        addToGroups(name);
    } else if (category() == C::PrivateGroups) {
        addMember(name);
    } else {
        runAlert("Add", "Can't add at this level", "OK", nullptr, nullptr);
    }
}

void AddressBookBrowser::addToGroups(const std::string& name) {
    if (name.find_first_of(" ,") != std::string::npos) {
        runAlert("Add", "Space or comma not allowed", "OK", nullptr, nullptr);
        return;
    }
    using R = PrivateAliases::NewGroup;
    static const std::pair<R, const char*> refusals[] = {
        {R::ExistsAsPrivate, "%s already exists as a private alias"},
        {R::ExistsAsUser, "%s already exists as a user"},
        {R::ExistsAsGlobal, "%s already exists as a global alias"}};
    R result = m_alias.privateAliases().newGroup(name);
    for (const auto& [refusal, message] : refusals) {
        if (result == refusal) {
            runAlert("Add", message, "OK", nullptr, nullptr, name.c_str());
            return;
        }
    }
    edited();
    selectText(kNames, name);
}

void AddressBookBrowser::addMember(const std::string& name) {
    std::string group = rowText(kNames, m_selected[kNames]);
    if (!m_alias.privateAliases().addUser(name, group)) {
        runAlert("Add", "Can't find group %s", "OK", nullptr, nullptr, group.c_str());
        return;
    }
    select(kNames, m_selected[kNames]);
    selectText(kMembers, name);
}

void AddressBookBrowser::selectText(int column, const std::string& text) {
    const std::vector<std::string>& names = rows(column);
    for (int row = 0; row < static_cast<int>(names.size()); ++row) {
        if (AliasEntry::compareIgnoringCase(names[row], text) == 0) return select(column, row);
    }
}

void AddressBookBrowser::remove() {
    PrivateAliases& privates = m_alias.privateAliases();
    int name = m_selected[kNames], member = m_selected[kMembers];
    if (category() == C::PrivateUsers && name >= 0) {
        privates.removeUser(name, kPrivateUsersName);
    } else if (category() == C::PrivateGroups && member >= 0) {
        privates.removeUser(member, rowText(kNames, name));
        select(kNames, name);
        return;
    } else if (category() == C::PrivateGroups && name >= 0) {
        privates.removeAlias(name, std::string(rowText(kNames, name)));
    } else {
        return panels().beep();
    }
    edited();
}

void AddressBookBrowser::save() {
    PrivateAliases& privates = m_alias.privateAliases();
    if (privates.modified() && !privates.savePrivateUsers())
        runAlert("Saving Aliases", "Unable to save private users", "OK", nullptr, nullptr);
}

void AddressBookBrowser::find(const std::string& nameField) {
    int column = currentColumn();
    const std::vector<std::string>& names = rows(column);
    int count = static_cast<int>(names.size());
    for (int step = 1; step <= count; ++step) {
        int row = (m_selected[column] + step) % count;
        if (containsIgnoringCase(names[row], nameField)) return select(column, row);
    }
    runAlert("Find", "%s not found.", "OK", nullptr, nullptr, nameField.c_str());
}

void AddressBookBrowser::append(bool toCc) {
    int column = m_selected[kMembers] >= 0 ? kMembers : kNames;
    if (m_selected[column] < 0) {
        runAlert("Append", "No name selected in browser", "OK", nullptr, nullptr);
        return;
    }
    ComposeAddressTarget* compose = ComposeAddressTarget::frontmost();
    if (!compose) {
        runAlert("Append", "No Compose QXWindow to append name", "OK", nullptr, nullptr);
        return;
    }
    const std::string& name = rowText(column, m_selected[column]);
    toCc ? compose->appendCc(name) : compose->appendTo(name);
}

}  // namespace quill

// AliasEntry: one name of the address book. A user, a global alias or group,
// or a private entry. Members of a loaded alias stay as text in the loaded file
// until the first lookup parses them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct AliasEntry {
    std::string name;  // as written in its source
    std::string key;   // the name with A-Z lowered; every lookup uses it
    // The member list in its source's text (the loaded text outlives the
    // entry); empty for users and entries made at run time.
    std::string_view memberText;
    std::vector<std::string> members;
    bool parsed = false;        // members hold memberText's members
    bool alias = false;         // an alias or group (clear: a user)
    bool local = false;         // private: from the private file or made by the user
    bool group = false;         // a list rather than a nickname for one user
    bool privateUsers = false;  // the "Private Users" list
    bool ownedMembers = false;  // made at run time, freed on removal
    bool removed = false;       // removed by the user; not saved

    AliasEntry(std::string entryName);

    int memberCount() const { return static_cast<int>(members.size()); }
    // Parses memberText into members on first use.
    void parseMembers();
    // Whether the members hold text, compared without regard to case.
    bool hasMember(std::string_view text) const;
    // Adds a member and puts the members in case-insensitive order.
    void addMemberSorted(std::string member);
    void sortMembers();

    // A-Z lowered to a-z; nothing else changes.
    static std::string keyOf(std::string_view name);
    // strcasecmp order over A-Z, bytes compared unsigned.
    static int compareIgnoringCase(std::string_view a, std::string_view b);
};

}  // namespace quill

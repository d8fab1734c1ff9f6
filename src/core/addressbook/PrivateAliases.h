// PrivateAliases: the user's own entries of the address book, "Private Users"
// and the private groups, and the private file they are saved to. Changes stay
// in memory until savePrivateUsers rewrites the file whole.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/AliasBook.h"

namespace quill {

class PrivateAliases {
  public:
    PrivateAliases(AliasBook& book, std::string path);

    enum class NewGroup { Created, ExistsAsPrivate, ExistsAsUser, ExistsAsGlobal };
    // A private group of the name: a removed entry of the name comes back,
    // otherwise a new one holds the user's login name.
    NewGroup newGroup(const std::string& name);
    // Adds a member unless the group holds it in any letter case; members stay
    // in case-insensitive order. A name with a comma or a line break goes in
    // as its bare address. False when there is no such group or the name
    // cannot be kept in the file.
    bool addUser(const std::string& name, std::string_view group);
    // Adds a name to "Private Users", making the list when needed.
    bool addPrivateName(const std::string& name);
    void removeUser(int index, std::string_view group);
    // Removes the private group at index of aliaslist().
    void removeAlias(int index, std::string_view name);
    // Takes an entry out of the book: one made at run time goes, a loaded one
    // is marked removed with its members emptied.
    void removeAlias(std::string_view name);

    // The private file's text: "Private Users" first, then the other private
    // entries in case-insensitive order, "name:" and the members joined by ",".
    std::string fileText();
    // False when the file cannot be written.
    bool savePrivateUsers();
    bool modified() const { return m_modified; }
    const std::string& path() const { return m_path; }

    // The private entries other than "Private Users", sorted.
    const std::vector<std::string>& aliaslist() { return groupList(); }
    int aliascount() { return static_cast<int>(groupList().size()); }

  private:
    AliasEntry* makeGroup(const std::string& name);
    void listGroup(const std::string& name);
    // Built from the book on first use, then kept up to date by the edits.
    std::vector<std::string>& groupList();

    AliasBook& m_book;
    std::string m_path;
    std::optional<std::vector<std::string>> m_aliasList;
    bool m_modified = false;
};

}  // namespace quill

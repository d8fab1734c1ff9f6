// AliasBook: the names of the address book and everything looked up in them.
// Entries live in one array (sorted by key once loading ends); the lookup table
// finds them by key and keeps them in key order, which is also the order of
// completion. Loading fills it on the loading thread; afterwards only the main
// thread touches it.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "addressbook/AliasEntry.h"

namespace quill {

class StringList;

class AliasBook {
  public:
    AliasBook();

    // Loading. A loaded text lives as long as the book; entries' member texts
    // point into it.
    std::string_view keepText(std::string text);
    // A new entry for the name, or nullptr when an earlier source had its key.
    AliasEntry* addLoaded(std::string_view name);
    // Sorts the entries by key and orders the lookup table.
    void finishLoading();

    // The entry of a name in any letter case (members parsed), or nullptr.
    AliasEntry* getentry(std::string_view name);
    // The entry of an entry's only member; nullptr unless it has exactly one.
    AliasEntry* lookup(AliasEntry& entry);
    // Follows lookup from alias to alias to a user; nullptr when a step finds
    // nothing or the chain is longer than kMaxChain steps.
    AliasEntry* getreal(AliasEntry* entry);
    static constexpr int kMaxChain = 21;
    // The user a name stands for: a user's own name, or the user an alias reaches.
    std::optional<std::string> findUser(std::string_view name);
    // The next name after the text that starts with its first typedChars
    // characters, in case-insensitive order: members of "Private Users" first,
    // then the lookup table; nothing when no name is left.
    std::optional<std::string> completeAddress(std::string_view text, int typedChars);
    // Replaces private aliases in the list by their members, each address once.
    void expandAliases(StringList& list);
    // An address line split into addresses, expanded and joined with ", ".
    std::string expandAddressLine(std::string_view line);
    void expandAddress(const std::string& address, StringList& into,
                       std::unordered_set<std::string>& seen);
    // Marks global aliases that are not a nickname for one known user as
    // groups, and every private entry; sorts the members of "Private Users".
    void classify();

    // The lookup table in key order.
    const std::vector<AliasEntry*>& table() const { return m_sorted; }
    // Every entry, removed ones too.
    const std::vector<std::unique_ptr<AliasEntry>>& entries() const { return m_list; }
    AliasEntry* privateUsers() const { return m_privateUsers; }

    // Editing. An entry made at run time owns its members and goes on removal.
    AliasEntry* addOwned(std::string name);
    void insertIntoTable(AliasEntry& entry);
    void takeOutOfTable(AliasEntry& entry);
    void free(AliasEntry& entry);
    // A removed entry of the name, kept for reuse.
    AliasEntry* removedEntry(std::string_view name) const;
    void setPrivateUsers(AliasEntry* entry) { m_privateUsers = entry; }

  private:
    std::deque<std::string> m_texts;
    std::vector<std::unique_ptr<AliasEntry>> m_list;
    std::unordered_map<std::string_view, AliasEntry*> m_hash;
    std::vector<AliasEntry*> m_sorted;
    AliasEntry* m_privateUsers = nullptr;
};

}  // namespace quill

#include "addressbook/AliasBook.h"

#include <algorithm>

#include "addressbook/AliasFileReader.h"
#include "base/Diagnostics.h"
#include "message/StringList.h"
#include "message/fieldutil.h"

namespace quill {
namespace {

bool keyLess(const AliasEntry* a, const AliasEntry* b) { return a->key < b->key; }

std::vector<AliasEntry*>::iterator sortedPosition(std::vector<AliasEntry*>& sorted,
                                                  const AliasEntry& entry) {
    return std::lower_bound(sorted.begin(), sorted.end(), &entry, keyLess);
}

}  // namespace

AliasBook::AliasBook() { m_list.reserve(10); }

std::string_view AliasBook::keepText(std::string text) {
    return m_texts.emplace_back(std::move(text));
}

AliasEntry* AliasBook::addLoaded(std::string_view name) {
    auto entry = std::make_unique<AliasEntry>(std::string(name));
    if (m_hash.count(entry->key)) return nullptr;
    AliasEntry* added = m_list.emplace_back(std::move(entry)).get();
    m_hash.emplace(added->key, added);
    return added;
}

void AliasBook::finishLoading() {
    std::sort(m_list.begin(), m_list.end(),
              [](const auto& a, const auto& b) { return a->key < b->key; });
    m_sorted.clear();
    m_sorted.reserve(m_list.size());
    for (const auto& entry : m_list) m_sorted.push_back(entry.get());
}

AliasEntry* AliasBook::getentry(std::string_view name) {
    auto found = m_hash.find(AliasEntry::keyOf(name));
    if (found == m_hash.end()) return nullptr;
    AliasEntry* entry = found->second;
    if (entry->alias) entry->parseMembers();
    return entry;
}

AliasEntry* AliasBook::lookup(AliasEntry& entry) {
    entry.parseMembers();
    return entry.memberCount() == 1 ? getentry(entry.members[0]) : nullptr;
}

AliasEntry* AliasBook::getreal(AliasEntry* entry) {
    for (int steps = 0; entry; ++steps) {
        if (!entry->alias) return entry;
        if (steps == kMaxChain) return nullptr;
        entry = lookup(*entry);
    }
    return nullptr;
}

std::optional<std::string> AliasBook::findUser(std::string_view name) {
    AliasEntry* user = getreal(getentry(name));
    if (!user) return std::nullopt;
    return user->name;
}

std::optional<std::string> AliasBook::completeAddress(std::string_view text, int typedChars) {
    if (typedChars < 0 || static_cast<size_t>(typedChars) > text.size()) {
        logRaw(formatString("completeAddress: typedChars is out of range (%d)\n", typedChars));
        typedChars = static_cast<int>(text.size());
    }
    std::string_view typed = text.substr(0, typedChars);
    const std::string* best = nullptr;
    auto consider = [&](const std::string& candidate) {
        if (candidate.size() < typed.size() ||
            AliasEntry::compareIgnoringCase(std::string_view(candidate).substr(0, typed.size()),
                                            typed) != 0)
            return;
        if (AliasEntry::compareIgnoringCase(candidate, text) <= 0) return;
        if (!best || AliasEntry::compareIgnoringCase(candidate, *best) < 0) best = &candidate;
    };
    if (m_privateUsers) {
        m_privateUsers->parseMembers();
        for (const std::string& member : m_privateUsers->members) consider(member);
    }
    // Keys that start with the typed text follow one another in the table, so
    // the first key after the whole text is the table's only candidate.
    std::string after = AliasEntry::keyOf(text);
    auto next =
        std::upper_bound(m_sorted.begin(), m_sorted.end(), after,
                         [](const std::string& k, const AliasEntry* e) { return k < e->key; });
    if (next != m_sorted.end()) consider((*next)->name);
    if (!best) return std::nullopt;
    return *best;
}

void AliasBook::expandAliases(StringList& list) {
    std::unordered_set<std::string> seen;
    StringList expanded;
    for (const std::string& address : list) expandAddress(address, expanded, seen);
    list = std::move(expanded);
}

std::string AliasBook::expandAddressLine(std::string_view line) {
    StringList list;
    list.addParsedAddressesFrom(line);
    expandAliases(list);
    return list.commaizedStringValue();
}

void AliasBook::expandAddress(const std::string& address, StringList& into,
                              std::unordered_set<std::string>& seen) {
    std::string bare = uncommentedAddress(address);
    if (!seen.insert(AliasEntry::keyOf(bare)).second) return;
    AliasEntry* entry = getentry(bare);
    if (!entry || !entry->local) {
        into.addString(address);
        return;
    }
    for (const std::string& member : std::vector<std::string>(entry->members))
        expandAddress(member, into, seen);
}

void AliasBook::classify() {
    for (AliasEntry* entry : m_sorted) {
        if (entry->local) {
            entry->group = true;
            continue;
        }
        if (!entry->alias || entry->group) continue;
        AliasEntry* named = getentry(AliasFileReader::firstMemberLine(entry->memberText));
        if (!named || named->alias) entry->group = true;
    }
    if (m_privateUsers) {
        m_privateUsers->parseMembers();
        m_privateUsers->sortMembers();
    }
}

AliasEntry* AliasBook::addOwned(std::string name) {
    AliasEntry* entry = m_list.emplace_back(std::make_unique<AliasEntry>(std::move(name))).get();
    entry->ownedMembers = true;
    entry->parsed = true;
    insertIntoTable(*entry);
    return entry;
}

void AliasBook::insertIntoTable(AliasEntry& entry) {
    m_hash.emplace(entry.key, &entry);
    m_sorted.insert(sortedPosition(m_sorted, entry), &entry);
}

void AliasBook::takeOutOfTable(AliasEntry& entry) {
    m_hash.erase(entry.key);
    auto at = sortedPosition(m_sorted, entry);
    if (at != m_sorted.end() && *at == &entry) m_sorted.erase(at);
}

void AliasBook::free(AliasEntry& entry) {
    if (m_privateUsers == &entry) m_privateUsers = nullptr;
    std::erase_if(m_list, [&](const auto& e) { return e.get() == &entry; });
}

AliasEntry* AliasBook::removedEntry(std::string_view name) const {
    std::string key = AliasEntry::keyOf(name);
    for (const auto& entry : m_list) {
        if (entry->removed && entry->key == key) return entry.get();
    }
    return nullptr;
}

}  // namespace quill

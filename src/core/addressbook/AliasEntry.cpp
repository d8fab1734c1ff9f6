#include "addressbook/AliasEntry.h"

#include <algorithm>

#include "addressbook/AliasFileReader.h"

namespace quill {
namespace {

unsigned char lowered(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a')
                                  : static_cast<unsigned char>(c);
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return AliasEntry::compareIgnoringCase(a, b) < 0;
}

}  // namespace

AliasEntry::AliasEntry(std::string entryName) : name(std::move(entryName)), key(keyOf(name)) {}

void AliasEntry::parseMembers() {
    if (parsed) return;
    parsed = true;
    if (!memberText.empty()) members = AliasFileReader::parseMembers(memberText);
}

bool AliasEntry::hasMember(std::string_view text) const {
    return std::any_of(members.begin(), members.end(),
                       [&](const std::string& m) { return compareIgnoringCase(m, text) == 0; });
}

void AliasEntry::addMemberSorted(std::string member) {
    members.push_back(std::move(member));
    sortMembers();
}

void AliasEntry::sortMembers() {
    std::stable_sort(members.begin(), members.end(), lessIgnoringCase);
}

std::string AliasEntry::keyOf(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = static_cast<char>(lowered(c));
    return key;
}

int AliasEntry::compareIgnoringCase(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int d = int(lowered(a[i])) - int(lowered(b[i]));
        if (d != 0) return d;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace quill

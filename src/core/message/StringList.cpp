#include "message/StringList.h"

#include <unordered_set>

#include "base/ascii.h"
#include "message/fieldutil.h"

namespace quill {
namespace {

// The form in which two entries are the same address.
std::string addressKey(std::string_view entry) { return lowercased(uncommentedAddress(entry)); }

}  // namespace

void StringList::addParsedAddressesFrom(std::string_view line) {
    for (std::string_view piece : splitAtAddressCommas(line)) {
        piece = trimmed(piece, isMailSpace);
        if (!piece.empty()) addString(piece);
    }
}

void StringList::addString(std::string_view text) { m_strings.emplace_back(text); }

void StringList::removeAddress(std::string_view address) {
    std::string key = addressKey(address);
    std::erase_if(m_strings, [&](const std::string& entry) { return addressKey(entry) == key; });
}

void StringList::removeMyAddress() {
    std::erase_if(m_strings, [](const std::string& entry) { return isMyAddress(entry); });
}

void StringList::removeDuplicateAddresses() {
    std::unordered_set<std::string> seen;
    std::erase_if(m_strings,
                  [&](const std::string& entry) { return !seen.insert(addressKey(entry)).second; });
}

void StringList::removeAddressComments() {
    for (std::string& entry : m_strings) entry = uncommentedAddress(entry);
}

std::string StringList::commaizedStringValue() const {
    std::string joined;
    for (std::size_t i = 0; i < m_strings.size(); ++i) {
        if (i > 0) joined += ", ";
        joined += m_strings[i];
    }
    return joined;
}

}  // namespace quill

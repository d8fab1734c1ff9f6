#include "message/StringList.h"

namespace quill {

void StringList::addParsedAddressesFrom(std::string_view line) { addString(line); }
void StringList::addString(std::string_view text) { m_strings.emplace_back(text); }
void StringList::removeAddress(std::string_view) {}
void StringList::removeMyAddress() {}
void StringList::removeDuplicateAddresses() {}
void StringList::removeAddressComments() {}
std::string StringList::commaizedStringValue() const { return {}; }

}  // namespace quill

#include "addressbook/AddressCompletion.h"

#include <algorithm>

namespace quill {

AddressCompletion::AddressCompletion(std::string text, size_t selectionStart, size_t selectionEnd)
    : m_text(std::move(text)) {
    m_end = std::min(selectionEnd, m_text.size());
    m_start = std::min(selectionStart, m_end);
}

size_t AddressCompletion::addressStart() const {
    size_t comma = m_text.rfind(',', m_end == 0 ? 0 : m_end - 1);
    size_t start = (comma == std::string::npos || comma >= m_end) ? 0 : comma + 1;
    while (start < m_start && (m_text[start] == ' ' || m_text[start] == '\t')) ++start;
    return start;
}

bool AddressCompletion::complete(AliasBook& book) {
    size_t start = addressStart();
    std::string address = m_text.substr(start, m_end - start);
    int typed = static_cast<int>(m_start) - static_cast<int>(start);
    std::optional<std::string> name = book.completeAddress(address, typed);
    size_t kept = start + std::min(address.size(), static_cast<size_t>(std::max(typed, 0)));
    if (!name) {
        m_text.erase(kept, m_end - kept);
        m_start = m_end = kept;
        return false;
    }
    m_text.replace(start, m_end - start, *name);
    m_start = kept;
    m_end = start + name->size();
    return true;
}

}  // namespace quill

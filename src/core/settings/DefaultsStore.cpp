#include "settings/DefaultsStore.h"

namespace quill {

std::optional<std::string> MemoryDefaultsStore::get(const std::string& key) const {
    auto it = m_values.find(key);
    if (it == m_values.end()) return std::nullopt;
    return it->second;
}

void MemoryDefaultsStore::set(const std::string& key, const std::string& value) {
    m_values[key] = value;
    ++m_writes;
}

void MemoryDefaultsStore::remove(const std::string& key) {
    m_values.erase(key);
    ++m_writes;
}

}  // namespace quill

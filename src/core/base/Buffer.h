// Buffer: a growable array of fixed-size records, as the store keeps its index
// entries and message-list records.
#pragma once

#include <cassert>
#include <cstddef>
#include <vector>

namespace quill {

template <typename Record>
class Buffer {
  public:
    size_t count() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    Record& at(size_t i) {
        assert(i < m_records.size());
        return m_records[i];
    }
    const Record& at(size_t i) const {
        assert(i < m_records.size());
        return m_records[i];
    }
    Record* data() { return m_records.data(); }
    const Record* data() const { return m_records.data(); }

    void append(const Record& r) { m_records.push_back(r); }
    void insertAt(size_t i, const Record& r) { m_records.insert(m_records.begin() + i, r); }
    void removeAt(size_t i) { m_records.erase(m_records.begin() + i); }
    void truncate(size_t n) {
        if (n < m_records.size()) m_records.resize(n);
    }
    void reserve(size_t n) { m_records.reserve(n); }
    // Grows with zeroed records (or cuts) to exactly n.
    void resize(size_t n) { m_records.resize(n); }
    void clear() { m_records.clear(); }

    auto begin() { return m_records.begin(); }
    auto end() { return m_records.end(); }
    auto begin() const { return m_records.begin(); }
    auto end() const { return m_records.end(); }

  private:
    std::vector<Record> m_records;
};

}  // namespace quill

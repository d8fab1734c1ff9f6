// SharedBytes: a read-only run of bytes and a share in whatever keeps them.
// A message's body and its parts are slices of the one buffer a message was
// read from, so a large attachment is held once however deeply it nests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quill {

class SharedBytes {
  public:
    SharedBytes() = default;
    // Takes the string over; no byte is copied.
    explicit SharedBytes(std::string&& bytes) {
        auto owner = std::make_shared<const std::string>(std::move(bytes));
        m_view = *owner;
        m_owner = std::move(owner);
    }
    static SharedBytes copyOf(std::string_view bytes) { return SharedBytes(std::string(bytes)); }
    // Bytes the caller keeps alive for longer than anything made from them:
    // shared without an owner, for a reader done with them before it lets go.
    static SharedBytes borrowed(std::string_view bytes) {
        SharedBytes part;
        part.m_view = bytes;
        return part;
    }

    std::string_view view() const { return m_view; }
    std::size_t size() const { return m_view.size(); }
    bool empty() const { return m_view.empty(); }
    // Bytes pos.. (at most n of them), sharing the owner.
    SharedBytes slice(std::size_t pos, std::size_t n = std::string_view::npos) const {
        SharedBytes part;
        part.m_owner = m_owner;
        part.m_view = m_view.substr(pos < m_view.size() ? pos : m_view.size(), n);
        return part;
    }
    // A slice of this given as a view into it; a view from elsewhere is copied.
    SharedBytes sliceFor(std::string_view within) const {
        auto begin = reinterpret_cast<std::uintptr_t>(m_view.data());
        auto at = reinterpret_cast<std::uintptr_t>(within.data());
        if (at < begin || at + within.size() > begin + m_view.size()) return copyOf(within);
        return slice(at - begin, within.size());
    }

  private:
    std::shared_ptr<const std::string> m_owner;
    std::string_view m_view;
};

}  // namespace quill

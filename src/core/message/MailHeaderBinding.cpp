#include "message/MailHeaderBinding.h"

#include <mutex>
#include <string>
#include <unordered_set>

namespace quill {

namespace {

struct KeyHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct KeyTable {
    std::mutex lock;
    // Nodes of an unordered_set never move, so views of their strings stay valid.
    std::unordered_set<std::string, KeyHash, std::equal_to<>> keys;
};

KeyTable& keyTable() {
    static KeyTable table;
    return table;
}

}  // namespace

std::string_view MailHeaderBinding::intern(std::string_view key) {
    KeyTable& table = keyTable();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.keys.find(key);
    if (it == table.keys.end()) it = table.keys.emplace(key).first;
    return *it;
}

}  // namespace quill

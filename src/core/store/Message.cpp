#include "store/Message.h"

#include <algorithm>

#include "base/ascii.h"
#include "message/date.h"

namespace quill {
namespace {

constexpr std::size_t kMaxLine = 1023;

struct KnownKey {
    std::string_view key;
    bool isList;
};

constexpr KnownKey kKnownKeys[] = {
    {"bcc:", true},
    {"cc:", true},
    {"Date:", false},
    {"From:", false},
    {"Message-Id:", false},
    {"Received:", false},
    {"Zell-Reference:", false},
    {"References:", false},
    {"Reply-To:", true},
    {"Sender:", false},
    {"Subject:", false},
    {"To:", true},
};

}  // namespace

Message::Message() {
    for (const KnownKey& k : kKnownKeys) m_tableInfo.push_back({k.key, k.isList, {}, {}});
}

Message::Slot* Message::slotFor(std::string_view key) {
    return const_cast<Slot*>(static_cast<const Message*>(this)->slotFor(key));
}

const Message::Slot* Message::slotFor(std::string_view key) const {
    for (const Slot& s : m_tableInfo) {
        if (equalsIgnoringCase(s.key, key)) return &s;
    }
    return nullptr;
}

void Message::cleanList() {
    for (Slot& s : m_tableInfo) {
        s.value.reset();
        if (s.list) s.list->clear();
    }
}

void Message::processList(Slot& slot, std::string_view text) {
    if (!slot.list) slot.list.emplace();
    while (true) {
        std::size_t comma = text.find(',');
        std::string_view piece = trimmed(text.substr(0, comma), isBlank);
        if (!piece.empty()) slot.list->emplace_back(piece);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
}

// Header lines are read the way a line reader with a 1024-byte buffer reads
// them: an overlong line comes in pieces, each taken as a line of its own.
Message& Message::readMessage(std::string_view raw) {
    cleanList();
    Slot* current = nullptr;
    std::size_t pos = 0;
    m_endHeader = static_cast<int>(raw.size());
    while (pos < raw.size()) {
        std::size_t nl = raw.find('\n', pos);
        std::size_t len = (nl == std::string_view::npos ? raw.size() : nl + 1) - pos;
        len = std::min(len, kMaxLine);
        std::string_view piece = raw.substr(pos, len);
        pos += len;
        std::string_view line = piece.back() == '\n' ? piece.substr(0, piece.size() - 1) : piece;
        if (line.empty()) {
            m_endHeader = static_cast<int>(pos);
            break;
        }
        if (isBlank(line.front())) {
            if (!current) continue;
            std::string_view more = trimmedFront(line, isBlank);
            *current->value += ' ';
            *current->value += more;
            if (current->isList) processList(*current, more);
            continue;
        }
        std::size_t colon = line.find(':');
        current = colon == std::string_view::npos ? nullptr : slotFor(line.substr(0, colon + 1));
        if (!current) continue;
        std::string_view value = trimmedFront(line.substr(colon + 1), isBlank);
        current->value = std::string(value);
        if (current->isList) processList(*current, value);
    }
    return *this;
}

const std::string* Message::get(std::string_view key) const {
    const Slot* s = slotFor(key);
    return s && s->value ? &*s->value : nullptr;
}

const std::vector<std::string>* Message::getList(std::string_view key) const {
    const Slot* s = slotFor(key);
    return s && s->list && !s->list->empty() ? &*s->list : nullptr;
}

const std::string& Message::emptyGet(std::string_view key) const {
    static const std::string empty;
    const std::string* v = get(key);
    return v ? *v : empty;
}

std::optional<std::string> Message::getAttach() const {
    const std::string* v = get("Zell-Reference:");
    if (!v) return std::nullopt;
    return v->substr(0, v->find(','));
}

bool Message::haveAttach() const { return get("Zell-Reference:") != nullptr; }

bool Message::readReceipt() const {
    const std::string& r = emptyGet("Received:");
    return r.starts_with("by Zell") && r.find(".RR)") != std::string::npos;
}

bool Message::wasSentFromZell() const {
    return emptyGet("Received:").starts_with("by Zell") || haveAttach();
}

std::optional<std::tm> Message::date() const {
    const std::string* v = get("Date:");
    std::tm tm{};
    if (!v || parseFullDate(*v, &tm) != kValidDate) return std::nullopt;
    return tm;
}

void Message::addList(std::vector<std::string>& list, const std::vector<std::string>& more) {
    list.insert(list.end(), more.begin(), more.end());
}

void Message::sortList(std::vector<std::string>& list) { std::sort(list.begin(), list.end()); }

}  // namespace quill

#include "message/fieldutil.h"

#include <array>

#include "base/ascii.h"
#include "platform/UserInfo.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

void trimTrailingSpace(std::string& text) {
    while (!text.empty() && isMailSpace(text.back())) text.pop_back();
}

// Walks an address the way RFC 822 reads it: a backslash protects the next
// character, double quotes delimit quoted strings, and parentheses nest
// comments (quotes inside a comment are plain characters).
class AddressScanner {
  public:
    explicit AddressScanner(std::string_view text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    std::size_t position() const { return m_pos; }
    bool inQuote() const { return m_quoted; }
    int depth() const { return m_depth; }
    bool outside() const { return !m_quoted && m_depth == 0; }

    // Answers the next character and whether it was escaped; updates the
    // quote and comment state after a structural character.
    char next(bool& escaped) {
        char c = m_text[m_pos++];
        escaped = c == '\\' && m_pos < m_text.size();
        if (escaped) return m_text[m_pos++];
        if (c == '"' && m_depth == 0) {
            m_quoted = !m_quoted;
        } else if (!m_quoted && c == '(') {
            ++m_depth;
        } else if (!m_quoted && c == ')' && m_depth > 0) {
            --m_depth;
        }
        return c;
    }

  private:
    std::string_view m_text;
    std::size_t m_pos = 0;
    bool m_quoted = false;
    int m_depth = 0;
};

bool hasAngleAddress(std::string_view text) {
    AddressScanner scan(text);
    while (!scan.atEnd()) {
        bool escaped;
        bool wasOutside = scan.outside();
        char c = scan.next(escaped);
        if (!escaped && wasOutside && c == '<') return true;
    }
    return false;
}

// Two full names match position by position: letters and digits ignoring
// case, and any punctuation or blank against any other ("joe.user" is
// "Joe User").
bool matchesFullName(std::string_view address, std::string_view name) {
    if (address.size() != name.size()) return false;
    for (std::size_t i = 0; i < address.size(); ++i) {
        bool punctuation = !isAlnum(address[i]) && !isAlnum(name[i]);
        if (!punctuation && toLower(address[i]) != toLower(name[i])) return false;
    }
    return true;
}

bool isAlternate(std::string_view address, std::string_view alternates) {
    std::size_t pos = 0;
    while (pos < alternates.size()) {
        if (isMailSpace(alternates[pos]) || alternates[pos] == ',') {
            ++pos;
            continue;
        }
        std::size_t end = alternates.find(',', pos);
        if (end == std::string_view::npos) end = alternates.size();
        std::string_view entry = trimmedBack(alternates.substr(pos, end - pos), isMailSpace);
        if (equalsIgnoringCase(entry, address)) return true;
        pos = end;
    }
    return false;
}

std::string realNameOf(const UserInfo& user) {
    std::string gecos = user.realName;
    auto cut = gecos.find_first_of(",;%");
    if (cut != std::string::npos) gecos.resize(cut);
    std::string login = user.loginName;
    if (!login.empty()) login[0] = toUpper(login[0]);
    std::string name;
    for (char c : gecos) {
        if (c == '&')
            name += login;
        else
            name += c;
    }
    return name.empty() ? user.loginName : name;
}

// Bytes that change nothing outside quotes and comments: runs of them are
// copied whole.
constexpr std::array<bool, 256> kPlainAddressBytes = [] {
    std::array<bool, 256> plain{};
    for (int c = 0; c < 256; ++c) plain[c] = true;
    for (unsigned char c : std::string_view("\\\"(<> \t\r\n")) plain[c] = false;
    return plain;
}();

std::size_t plainRunEnd(std::string_view text, std::size_t i) {
    while (i < text.size() && kPlainAddressBytes[static_cast<unsigned char>(text[i])]) ++i;
    return i;
}

// The bare address into `out`, whose storage is reused.
void assignUncommentedAddress(std::string& out, std::string_view text) {
    out.clear();
    bool quoted = false, angle = false;
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (!quoted && depth == 0 && kPlainAddressBytes[static_cast<unsigned char>(c)]) {
            std::size_t end = plainRunEnd(text, i + 1);
            out.append(text.substr(i, end - i));
            i = end - 1;
        } else if (c == '\\' && i + 1 < text.size()) {
            // Escapes are copied as written, even inside comments.
            out += c;
            out += text[++i];
        } else if (quoted) {
            out += c;
            quoted = c != '"';
        } else if (depth > 0) {
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        } else if (c == '(') {
            depth = 1;
        } else if (c == '<') {
            out.clear();
            angle = true;
        } else if (c == '>' && angle) {
            break;
        } else if (isMailSpace(c)) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
            quoted = c == '"';
        }
    }
    trimTrailingSpace(out);
}

}  // namespace

std::string uncommentedAddress(std::string_view text) {
    std::string out;
    assignUncommentedAddress(out, text);
    return out;
}

std::string addressComment(std::string_view text) {
    bool angleForm = hasAngleAddress(text);
    std::string out;
    bool inAngle = false;
    AddressScanner scan(text);
    while (!scan.atEnd()) {
        bool escaped;
        bool wasOutside = scan.outside();
        int depthBefore = scan.depth();
        char c = scan.next(escaped);
        bool structural = !escaped && (wasOutside || scan.outside());
        if (angleForm && structural && !inAngle && c == '<') {
            inAngle = true;
            continue;
        }
        if (inAngle) {
            inAngle = !(structural && c == '>');
            continue;
        }
        if (!escaped && c == '"' && depthBefore == 0) continue;  // quotes are not copied
        // Outside the angle form only the inside of comments is the name, not
        // the outermost parentheses.
        if (!angleForm && (depthBefore == 0 || scan.depth() == 0)) continue;
        if (isMailSpace(c) && (out.empty() || isMailSpace(out.back()))) continue;
        out += c;
    }
    trimTrailingSpace(out);
    if (out.size() >= 2 && out.front() == '"' && out.back() == '"')
        out = out.substr(1, out.size() - 2);
    return out.empty() ? uncommentedAddress(text) : out;
}

std::optional<std::size_t> addressCommaIndex(std::string_view text) {
    AddressScanner scan(text);
    while (!scan.atEnd()) {
        bool escaped;
        std::size_t at = scan.position();
        char c = scan.next(escaped);
        if (!escaped && c == ',' && scan.outside()) return at;
    }
    return std::nullopt;
}

std::vector<std::string_view> splitAtAddressCommas(std::string_view text) {
    std::vector<std::string_view> pieces;
    while (auto comma = addressCommaIndex(text)) {
        pieces.push_back(text.substr(0, *comma));
        text.remove_prefix(*comma + 1);
    }
    pieces.push_back(text);
    return pieces;
}

bool isMyAddress(std::string_view text) { return isMyAddress(text, myAddresses()); }

MyAddresses myAddresses(Defaults& defaults) {
    return {currentUser().loginName, getRealName(), defaults.alternates()};
}

MyAddresses myAddresses() { return myAddresses(Defaults::shared()); }

bool isMyAddress(std::string_view text, const MyAddresses& me) {
    // A rebuilt index asks this of every message on each scan thread; the
    // address keeps its storage from one message to the next.
    thread_local std::string address;
    assignUncommentedAddress(address, text);
    if (address.empty()) return false;
    if (address == me.login) return true;
    if (matchesFullName(address, me.realName)) return true;
    // A host-qualified address is the user's only when listed as an alternate.
    return isAlternate(address, me.alternates);
}

const std::string& getRealName() {
    // Kept between calls; recomputed only when another user is installed.
    static std::string login, gecos, name;
    const UserInfo& user = currentUser();
    if (name.empty() || login != user.loginName || gecos != user.realName) {
        login = user.loginName;
        gecos = user.realName;
        name = realNameOf(user);
    }
    return name;
}

}  // namespace quill

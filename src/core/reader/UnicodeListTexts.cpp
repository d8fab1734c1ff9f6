#include "reader/UnicodeListTexts.h"

#include <unistd.h>

#include <algorithm>
#include <optional>

#include "base/FileHandles.h"
#include "base/ascii.h"
#include "message/fieldutil.h"
#include "message/headertext.h"
#include "message/unicode.h"
#include "store/MailBox.h"

namespace quill {
namespace {

// Nearly every header block fits the first read; a longer one is read again whole.
constexpr std::size_t kFirstRead = 4096;
constexpr std::size_t kLongestBlock = 1 << 20;

// The display names of an address list, each decoded on its own so that a
// comma inside an encoded name does not split it.
std::string displayNames(std::string_view list) {
    std::string out;
    for (std::string_view piece : splitAtAddressCommas(list)) {
        if (!out.empty()) out += ", ";
        out += headerTextToUtf8(addressComment(piece));
    }
    return out;
}

// The raw value of the first field named key (colon included) in a header
// block, continuation lines and all. Sorting a large list reads every row, so
// this looks only for the fields it needs instead of parsing the block.
std::optional<std::string_view> fieldValue(std::string_view block, std::string_view key) {
    for (std::size_t at = 0; at < block.size();) {
        std::size_t end = block.find('\n', at);
        if (end == std::string_view::npos) end = block.size();
        if (startsWithIgnoringCase(block.substr(at, end - at), key)) {
            std::size_t start = at + key.size();
            while (end + 1 < block.size() && isBlank(block[end + 1]))
                end = std::min(block.find('\n', end + 1), block.size());
            return trimmedFront(block.substr(start, end - start), isBlank);
        }
        at = end + 1;
    }
    return std::nullopt;
}

}  // namespace

std::string UnicodeListTexts::headerBlock(int msgId) const {
    const TocEntry& entry = m_mailbox.tocInfoAt(msgId);
    std::size_t length = static_cast<std::size_t>(std::max(entry.length, 0));
    std::string bytes;
    for (std::size_t want : {std::min(length, kFirstRead), std::min(length, kLongestBlock)}) {
        bytes.resize(want);
        bytes.resize(readAt(::fileno(m_mailbox.mailFile()), bytes.data(), want, entry.offset));
        // CRLF mail ends its header block with a line that is only a carriage return.
        std::size_t end = std::min(bytes.find("\n\n"), bytes.find("\n\r\n"));
        if (end != std::string::npos) return bytes.substr(0, end + 1);
        if (want == length) break;
    }
    return bytes;
}

void UnicodeListTexts::load(int msgId, std::string& subject, std::string& from) const {
    std::string block = m_mailbox.mailFile() ? headerBlock(msgId) : std::string();
    std::optional<std::string_view> rawSubject = fieldValue(block, "Subject:");
    subject = rawSubject ? headerTextToUtf8(*rawSubject) : utf8OrLatin1(subject);
    // Mail the user sent is listed by its recipients, as the record says.
    bool sent = from.starts_with("To:");
    std::optional<std::string_view> rawSender = fieldValue(block, sent ? "To:" : "From:");
    if (!rawSender)
        from = utf8OrLatin1(from);
    else
        from = (sent ? std::string("To: ") : std::string()) + displayNames(*rawSender);
}

}  // namespace quill

#include "reader/UnicodeListTexts.h"

#include <unistd.h>

#include <algorithm>
#include <memory>

#include "message/ByteSource.h"
#include "message/MailHeaders.h"
#include "message/fieldutil.h"
#include "message/headertext.h"
#include "message/unicode.h"
#include "store/MailBox.h"

namespace quill {
namespace {

// Nearly every header block fits the first read; a longer one is read again whole.
constexpr std::size_t kFirstRead = 8192;
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

}  // namespace

std::string UnicodeListTexts::headerBlock(int msgId) const {
    const TocEntry& entry = m_mailbox.tocInfoAt(msgId);
    std::size_t length = static_cast<std::size_t>(std::max(entry.length, 0));
    std::string bytes;
    for (std::size_t want : {std::min(length, kFirstRead), std::min(length, kLongestBlock)}) {
        bytes.resize(want);
        ssize_t got = ::pread(::fileno(m_mailbox.mailFile()), bytes.data(), want, entry.offset);
        bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        std::size_t end = bytes.find("\n\n");
        if (end != std::string::npos) return bytes.substr(0, end + 2);
        if (want == length) break;
    }
    return bytes;
}

void UnicodeListTexts::load(int msgId, std::string& subject, std::string& from) const {
    std::string block = m_mailbox.mailFile() ? headerBlock(msgId) : std::string();
    ByteSource stream(block);
    std::unique_ptr<MailHeaders> headers = MailHeaders::initFromStream(stream);
    const std::string* rawSubject = headers ? headers->valueForKey("Subject") : nullptr;
    subject = rawSubject ? headerTextToUtf8(*rawSubject) : utf8OrLatin1(subject);
    // Mail the user sent is listed by its recipients, as the record says.
    bool sent = from.starts_with("To:");
    const std::string* rawSender = headers ? headers->valueForKey(sent ? "To" : "From") : nullptr;
    if (!rawSender)
        from = utf8OrLatin1(from);
    else
        from = (sent ? std::string("To: ") : std::string()) + displayNames(*rawSender);
}

}  // namespace quill

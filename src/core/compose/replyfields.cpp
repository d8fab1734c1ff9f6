#include "compose/replyfields.h"

#include <vector>

#include "base/Diagnostics.h"
#include "base/ascii.h"
#include "message/StringList.h"
#include "message/fieldutil.h"
#include "platform/Localized.h"
#include "store/Message.h"

namespace quill {
namespace {

void addAddresses(StringList& list, const Message& source, const char* key) {
    if (const std::string* value = source.get(key)) list.addParsedAddressesFrom(*value);
}

void pruneOwnAndDuplicates(StringList& list, bool replyToSelf) {
    if (!replyToSelf) list.removeMyAddress();
    list.removeDuplicateAddresses();
}

}  // namespace

std::string replyToAddresses(const Message& source, bool replyToSelf) {
    StringList list;
    addAddresses(list, source, source.get("Reply-To:") ? "Reply-To:" : "From:");
    pruneOwnAndDuplicates(list, replyToSelf);
    return list.commaizedStringValue();
}

std::string replyCcAddresses(const Message& source, std::string_view toField, bool replyToSelf) {
    StringList list;
    addAddresses(list, source, "To:");
    addAddresses(list, source, "cc:");
    pruneOwnAndDuplicates(list, replyToSelf);
    StringList to;
    to.addParsedAddressesFrom(toField);
    for (const std::string& address : to) list.removeAddress(address);
    return list.commaizedStringValue();
}

std::string replySubject(const Message& source) {
    std::string subject = "Re: ";
    if (const std::string* original = source.get("Subject:")) {
        std::string_view rest = *original;
        if (rest.size() >= 3 && equalsIgnoringCase(rest.substr(0, 3), "Re:")) rest.remove_prefix(3);
        rest = trimmedFront(rest, isSpace);
        subject.append(rest.substr(0, kMaxReplySubject - subject.size()));
    } else if (const std::string* date = source.get("Date:")) {
        subject += formatString(localized(kUITable, "Your message of %s").c_str(), date->c_str());
        subject.resize(std::min(subject.size(), kMaxReplySubject));
    } else {
        subject.clear();
    }
    return subject;
}

std::optional<std::string> replyReferences(const Message& source) {
    const std::string* references = source.get("References:");
    const std::string* id = source.get("Message-Id:");
    if (references && id) return limitReferences(*references + " " + *id);
    if (references || id) return limitReferences(references ? *references : *id);
    return std::nullopt;
}

std::string limitReferences(std::string_view references) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < references.size(); ++i)
        if (references[i] == '<') starts.push_back(i);
    const int count = static_cast<int>(starts.size());
    if (count <= kMaxReferences) return std::string(references);
    std::string kept(references.substr(0, starts[1]));
    kept += references.substr(starts[count - (kMaxReferences - 1)]);
    return kept;
}

}  // namespace quill

// The fields of a reply derived from the message replied to: whom to answer,
// whom to copy, the subject and the references that link the reply to it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quill {

class Message;

// The longest reply subject, in characters.
inline constexpr size_t kMaxReplySubject = 511;
// The most message ids a References value keeps.
inline constexpr int kMaxReferences = 16;

// "Reply-To:", else "From:", as an address list: the user's own addresses
// removed unless replyToSelf, duplicates removed, joined with ", ".
std::string replyToAddresses(const Message& source, bool replyToSelf);

// "To:" and "cc:" as one list: the user's own addresses removed unless
// replyToSelf, duplicates removed and so is every address already in toField.
std::string replyCcAddresses(const Message& source, std::string_view toField, bool replyToSelf);

// "Re: " and the subject without one leading "Re:", at most
// kMaxReplySubject characters; without a subject "Re: Your message of"
// the date; "" with neither.
std::string replySubject(const Message& source);

// "References:" and "Message-Id:" joined by a blank, limited to
// kMaxReferences ids; nothing when the message has neither.
std::optional<std::string> replyReferences(const Message& source);

// Keeps the first id and the last kMaxReferences - 1 of a longer list.
std::string limitReferences(std::string_view references);

}  // namespace quill

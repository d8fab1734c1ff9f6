// How a mailbox window turns the stored text of a message into what it shows:
// the message class most willing to decode it renders its header block (keys
// bold, filtered headers hidden unless all are wanted) and its body.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/SharedBytes.h"
#include "message/MailMessage.h"
#include "message/MimeMessage.h"
#include "richtext/TextView.h"

namespace quill {

class Defaults;

// Registers the message classes a message is read by, in the order that
// settles ties: plain mail, MIME, the native format, then Sun attachments.
void registerMessageClasses();

// The filter block of the "MailFilter" setting plus the envelope line.
std::shared_ptr<const MailHeaders> filteredHeadersFrom(Defaults& defaults);

// Parses text as a message and renders it into view (replacing its contents),
// in the view's encoding: a UTF-8 view gets the Unicode display. Headers in
// `hidden` are left out (none when it is null). Answers the message object,
// or nothing when the text is no message.
std::unique_ptr<MailMessage> renderMessage(std::string_view text, const std::string& mailboxPath,
                                           std::shared_ptr<const MailHeaders> hidden,
                                           TextView& view);
// The same with the reader's choice among MIME alternatives.
std::unique_ptr<MailMessage> renderMessage(std::string_view text, const std::string& mailboxPath,
                                           std::shared_ptr<const MailHeaders> hidden,
                                           TextView& view,
                                           const MimeMessage::RenderOptions& options);
// The same over bytes the caller keeps shared: the message's body and its
// parts are shares of them, and an attachment stays encoded there until its
// icon is opened or saved. The text-view forms above read a copy.
std::unique_ptr<MailMessage> renderMessage(const SharedBytes& text, const std::string& mailboxPath,
                                           std::shared_ptr<const MailHeaders> hidden,
                                           TextView& view,
                                           const MimeMessage::RenderOptions& options = {});

}  // namespace quill

// ReplySource: what a mailbox window offers a compose window that replies to,
// forwards or quotes the message it shows.
#pragma once

#include <optional>
#include <string>

namespace quill {

class MailMessage;
class Message;
class TextView;

class ReplySource {
  public:
    virtual ~ReplySource() = default;
    // Index of the message shown; negative when none is shown.
    virtual int curMsg() const = 0;
    // The header record of the shown message, or nullptr.
    virtual const Message* msgHeader() const = 0;
    // The shown message as a message object, or nullptr.
    virtual MailMessage* mailMessage() const = 0;
    // The text showing the message: its header lines, an empty line, the body.
    virtual const TextView& getTextObject() const = 0;
    // The directory holding the shown message's attachments, or nothing.
    virtual std::optional<std::string> attachDir() const = 0;
};

}  // namespace quill

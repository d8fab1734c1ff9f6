// MessageTransfer: the one way the browser moves a mailbox window's selected
// messages into another mailbox. The store's transfer installs itself here;
// until one is installed a transfer is refused.
#pragma once

#include <functional>
#include <string>

namespace quill {

class MailReader;

class MessageTransfer {
  public:
    // Appends the source window's selected messages to the mailbox at `target`.
    using Function = std::function<bool(MailReader& source, const std::string& target)>;
    static void install(Function transfer);
    static bool transfer(MailReader& source, const std::string& target);
};

}  // namespace quill

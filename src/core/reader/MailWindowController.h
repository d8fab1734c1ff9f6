// A mailbox window as the application driver sees it: something showing one
// mailbox that can be brought forward, told of new mail and closed.
#pragma once

#include <string>

namespace quill {

class MailWindowController {
  public:
    virtual ~MailWindowController() = default;
    // The full path of the mailbox shown.
    virtual std::string mailboxPath() const = 0;
    virtual void orderFront() = 0;
    virtual void haveNewMail() {}
    virtual int newMessageCount() const { return 0; }
    // Takes in what the fetch program left in the mailbox directory.
    virtual void incorporateMail() {}
    // What a check for new mail the user asked for came to.
    virtual void showCheckResult(const std::string& text) { (void)text; }
    // Closes the window, which closes and unlocks its mailbox.
    virtual void closeWindow() = 0;
};

}  // namespace quill

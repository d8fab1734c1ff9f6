// MailboxBrowserHost: what the mailbox browser asks of the application: its
// mailbox windows. Paths are the mailboxes' paths as the browser forms them
// under the mail directory.
#pragma once

#include <string>

namespace quill {

class MailboxBrowserHost {
  public:
    virtual ~MailboxBrowserHost() = default;
    // Opens the mailbox in a window (creating a missing one); false when it cannot.
    virtual bool openMailbox(const std::string& path) = 0;
    // Whether `path` is the active mailbox, which then checks for new mail.
    virtual bool isActiveMailbox(const std::string& path) const = 0;
    virtual void checkNewMailQuietly() = 0;
    // Closes the mailbox's window, if one is open.
    virtual void closeMailboxWindow(const std::string& path) = 0;
    // Whether the main window is a mailbox window, the source of a transfer.
    virtual bool hasSourceWindow() const = 0;
    // Transfers the source window's selected messages into `path`.
    virtual bool transferSelectionTo(const std::string& path) = 0;
    // The source window deletes the messages it transferred.
    virtual void deleteTransferred() = 0;
};

}  // namespace quill

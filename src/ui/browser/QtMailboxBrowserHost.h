// QtMailboxBrowserHost: the mailbox browser's view of the application: the
// driver's mailbox windows, and the main mailbox window (the one last
// active) as the source of a transfer.
#pragma once

#include "browser/MailboxBrowserHost.h"

namespace quill {

class QtMailboxBrowserHost : public MailboxBrowserHost {
  public:
    bool openMailbox(const std::string& path) override;
    bool isActiveMailbox(const std::string& path) const override;
    void checkNewMailQuietly() override;
    void closeMailboxWindow(const std::string& path) override;
    bool hasSourceWindow() const override;
    bool transferSelectionTo(const std::string& path) override;
    void deleteTransferred() override;
};

}  // namespace quill

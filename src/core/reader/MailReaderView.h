// What a mailbox window's decisions need shown: the Qt window implements it,
// tests record it.
#pragma once

#include <string>

namespace quill {

class MailReaderView {
  public:
    virtual ~MailReaderView() = default;
    // The rows of the message list changed (contents, order or selection).
    virtual void listChanged() = 0;
    virtual void scrollToRow(int row) = 0;
    // The message text view holds something new (or was emptied).
    virtual void messageChanged() = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setStatusLineVisible(bool visible) = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual void orderFront() = 0;
    virtual void closeWindow() = 0;
};

}  // namespace quill

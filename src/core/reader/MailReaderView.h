// What a mailbox window's decisions need shown: the Qt window implements it,
// tests record it.
#pragma once

#include <string>

#include "store/TocFormat.h"

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
    // The shown message's sender and date, for the window's command view
    // (both empty when no message is shown).
    virtual void setMessageSummary(const std::string& sender, const std::string& date) {
        (void)sender;
        (void)date;
    }
    // The window's miniature: "mbox" while new mail waits, else "empty".
    virtual void setMiniature(const std::string& imageName) { (void)imageName; }
    // The window's frame and message-list height as shown; false when the
    // view has no geometry of its own.
    virtual bool windowFrame(tocformat::WindowFrame& frame, float& tocHeight) const {
        (void)frame;
        (void)tocHeight;
        return false;
    }
};

}  // namespace quill

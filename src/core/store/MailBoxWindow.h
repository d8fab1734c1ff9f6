// MailBoxWindow: what a mailbox needs from the window that shows it. The
// reader window implements it; the store never knows more about windows.
#pragma once

#include "store/Toc.h"

namespace quill {

class MailBoxWindow {
  public:
    virtual ~MailBoxWindow() = default;
    // Something went wrong beyond repair: the window closes its mailbox.
    virtual void fatal() = 0;
    virtual void getFrame(tocformat::WindowFrame& frame, float& tocHeight) = 0;
    // New message-list records for the rows (atStart: the index was just loaded).
    virtual void loadToc(const MsgList& list, bool atStart) = 0;
};

}  // namespace quill

// What a mail reader needs of the application's new-mail state: the flag
// behind the icon, the unread count it shows and the user's "check now".
#pragma once

namespace quill {

class NewMailNotice {
  public:
    virtual ~NewMailNotice() = default;
    virtual bool hasNewMail() const = 0;
    virtual void clearNewMail() = 0;
    // The icon's text and image follow the mailboxes' unread counts.
    virtual void notifyToc() = 0;
    virtual void updateNewMessageCount() = 0;
    virtual void checkNewMail(bool beep) = 0;
};

}  // namespace quill

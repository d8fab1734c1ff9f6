// ReplyTarget: the compose window as reply, forward, quoting and draft
// restoring fill it. Field numbers are those of delivery: 0 To, 1 Subject,
// 2 Cc, then the hidden fields.
#pragma once

#include <string>

namespace quill {

class MailMessage;
class TextView;

class ReplyTarget {
  public:
    enum Field : int {
        kTo = 0,
        kSubject = 1,
        kCc = 2,
        kBcc = 3,
        kReplyTo = 4,
        kUserField1 = 5,
        kUserField2 = 6,
        kReferences = 7,
    };

    virtual ~ReplyTarget() = default;
    virtual std::string getField(int field) const = 0;
    virtual void setField(int field, const std::string& value) = 0;
    virtual TextView& text() = 0;

    // Formats: whether the plain format is chosen, whether a format was
    // chosen for this window, and taking the format of a message.
    virtual bool isPlainFormat() const = 0;
    virtual bool haveSetFormat() const = 0;
    virtual void takeSendFormatFrom(const MailMessage& message) = 0;
    // Whether the body is rich (the Deliver button's indicator).
    virtual bool isSpecialDelivery() const = 0;

    // Reactions: to a paste, to any edit.
    virtual void textDidPaste() = 0;
    virtual void nowEditing() = 0;
    // A restored body is in: the rich indicator and the size display follow it.
    virtual void bodyDidLoad() = 0;

    // The reply button offers the other kind of reply: reply-all when true.
    virtual void offerReplyAll(bool replyAll) = 0;
    // Selects a header field's text for editing.
    virtual void selectField(int field) = 0;
    virtual bool textHasFocus() const = 0;
    virtual void focusText() = 0;
    virtual void scrollToSelection() = 0;
    // The shared options panel edits this window from now on.
    virtual void followInOptionsPanel() = 0;
    // Add-on helpers see a draft before it is restored.
    virtual void restoreDraftHook(const MailMessage& message) = 0;
};

}  // namespace quill

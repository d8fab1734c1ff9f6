// ComposeReplyTarget: a compose window as reply, forward and draft restoring
// fill it: the Send takes the fields and text, the window shows them and
// reacts with its focus, selection and reply button.
#pragma once

#include "compose/SendReplyTarget.h"

namespace quill {

class ComposeWindow;

class ComposeReplyTarget : public SendReplyTarget {
  public:
    ComposeReplyTarget(Send& send, ComposeWindow& window)
        : SendReplyTarget(send), m_window(window) {}

    void setField(int field, const std::string& value) override;
    void offerReplyAll(bool replyAll) override;
    void selectField(int field) override;
    bool textHasFocus() const override;
    void focusText() override;
    void scrollToSelection() override;
    void followInOptionsPanel() override;

  private:
    ComposeWindow& m_window;
};

}  // namespace quill

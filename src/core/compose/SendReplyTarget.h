// SendReplyTarget: a Send as reply, forward and draft restoring fill it. The
// fields, text and format are the Send's; what the window does with focus,
// selection and its reply button is left to the window.
#pragma once

#include "compose/ReplyTarget.h"

namespace quill {

class Send;

class SendReplyTarget : public ReplyTarget {
  public:
    explicit SendReplyTarget(Send& send) : m_send(send) {}

    std::string getField(int field) const override;
    void setField(int field, const std::string& value) override;
    TextView& text() override;
    bool isPlainFormat() const override;
    bool haveSetFormat() const override;
    void takeSendFormatFrom(const MailMessage& message) override;
    bool isSpecialDelivery() const override;
    void textDidPaste() override;
    void nowEditing() override;
    void bodyDidLoad() override;
    void restoreDraftHook(const MailMessage&) override {}

  protected:
    Send& send() { return m_send; }

  private:
    Send& m_send;
};

}  // namespace quill

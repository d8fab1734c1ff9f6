#include "compose/SendReplyTarget.h"

#include "compose/Send.h"

namespace quill {

std::string SendReplyTarget::getField(int field) const {
    return m_send.getField(field).value_or(std::string());
}

void SendReplyTarget::setField(int field, const std::string& value) {
    m_send.setField(field, value);
}

TextView& SendReplyTarget::text() { return m_send.text(); }

bool SendReplyTarget::isPlainFormat() const { return m_send.sendFormat() == kPlainFormat; }

bool SendReplyTarget::haveSetFormat() const { return m_send.haveSetFormat(); }

void SendReplyTarget::takeSendFormatFrom(const MailMessage& message) {
    m_send.takeSendFormatFrom(message);
}

bool SendReplyTarget::isSpecialDelivery() const { return !m_send.isPlainText(); }

void SendReplyTarget::textDidPaste() { m_send.textDidChange(); }

void SendReplyTarget::nowEditing() { m_send.nowEditing(); }

// A restored draft is what was saved: the indicator and size follow the text,
// and the window is not edited until the user changes it.
void SendReplyTarget::bodyDidLoad() {
    m_send.textDidChange();
    m_send.clearEditing();
}

}  // namespace quill

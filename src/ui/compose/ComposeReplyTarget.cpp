#include "ui/compose/ComposeReplyTarget.h"

#include "ui/compose/ComposeTextEdit.h"
#include "ui/compose/ComposeWindow.h"
#include "ui/compose/SendOptionsPanel.h"

namespace quill {

void ComposeReplyTarget::setField(int field, const std::string& value) {
    SendReplyTarget::setField(field, value);
    m_window.showField(field);
}

void ComposeReplyTarget::offerReplyAll(bool replyAll) { m_window.offerReplyAll(replyAll); }

void ComposeReplyTarget::selectField(int field) { m_window.selectField(field); }

bool ComposeReplyTarget::textHasFocus() const { return m_window.textEdit()->hasFocus(); }

void ComposeReplyTarget::focusText() { m_window.textEdit()->setFocus(); }

void ComposeReplyTarget::scrollToSelection() {
    m_window.textEdit()->reload();
    m_window.textEdit()->ensureCursorVisible();
}

void ComposeReplyTarget::followInOptionsPanel() {
    SendOptionsPanel::shared().setCurSender(&m_window);
}

}  // namespace quill

#include "ui/compose/ComposeWindowController.h"

#include "ui/compose/ComposeWindow.h"

namespace quill {

bool ComposeWindowController::hasEdits() const { return m_window && m_window->send().editing(); }

std::string ComposeWindowController::subject() const {
    return m_window ? m_window->send().getField(kFieldSubject).value_or("") : "";
}

void ComposeWindowController::orderFront() {
    if (m_window) m_window->orderFront();
}

void ComposeWindowController::saveDraft() {
    if (m_window) m_window->send().saveDraft();
}

}  // namespace quill

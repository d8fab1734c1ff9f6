// ComposeWindowController: a compose window as the application driver sees it
// when quitting; it answers for a window that may already be gone.
#pragma once

#include <QPointer>

#include "app/ComposeController.h"

namespace quill {

class ComposeWindow;

class ComposeWindowController : public ComposeController {
  public:
    explicit ComposeWindowController(ComposeWindow* window) : m_window(window) {}

    bool hasEdits() const override;
    std::string subject() const override;
    void orderFront() override;
    void saveDraft() override;

  private:
    QPointer<ComposeWindow> m_window;
};

}  // namespace quill

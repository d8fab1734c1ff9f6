// QtPanels: alerts, progress panels, beeps and open panels as Qt dialogs.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/Panels.h"

namespace quill {

class QtPanels : public Panels {
  public:
    int runAlert(const AlertRequest& request) override;
    std::unique_ptr<ProgressPanel> beginProgress(const std::string& title,
                                                 const std::string& message,
                                                 bool cancellable) override;
    void beep() override;
    std::vector<std::string> runOpenPanel(const OpenPanelRequest& request) override;

    // Dialogs are centred on this window when it is set.
    void setParentWindow(QWidget* window) { m_parent = window; }

  private:
    QPointer<QWidget> m_parent;
};

}  // namespace quill

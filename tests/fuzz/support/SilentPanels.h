// SilentPanels: panels for harnesses. Every alert takes its default button,
// progress is never cancelled, and nothing is kept, so a long run does not
// grow with the alerts it meets.
#pragma once

#include "platform/Panels.h"

namespace quill::fuzz {

class SilentPanels : public Panels {
  public:
    int runAlert(const AlertRequest& request) override;
    std::unique_ptr<ProgressPanel> beginProgress(const std::string& title,
                                                 const std::string& message,
                                                 bool cancellable) override;
    void beep() override {}
    std::vector<std::string> runOpenPanel(const OpenPanelRequest& request) override;
};

}  // namespace quill::fuzz

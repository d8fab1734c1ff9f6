// Panels for command-line programs: alerts are printed to standard error as
// "Title: message [Button1/Button2]" and answered without asking.
#pragma once

#include <cstdio>

#include "platform/Panels.h"

namespace quill {

class ConsolePanels : public Panels {
  public:
    // With answerFirst an alert is answered with its first button, else with its last.
    explicit ConsolePanels(bool answerFirst, std::FILE* out = stderr);

    int runAlert(const AlertRequest& request) override;
    std::unique_ptr<ProgressPanel> beginProgress(const std::string& title,
                                                 const std::string& message,
                                                 bool cancellable) override;
    void beep() override;
    std::vector<std::string> runOpenPanel(const OpenPanelRequest& request) override;

  private:
    bool m_answerFirst;
    std::FILE* m_out;
};

}  // namespace quill

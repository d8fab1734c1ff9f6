#include "platform/ConsolePanels.h"

namespace quill {
namespace {

class SilentProgress : public ProgressPanel {
  public:
    void setMessage(const std::string&) override {}
    void setFraction(double) override {}
    bool cancelled() const override { return false; }
};

}  // namespace

ConsolePanels::ConsolePanels(bool answerFirst, std::FILE* out)
    : m_answerFirst(answerFirst), m_out(out) {}

int ConsolePanels::runAlert(const AlertRequest& request) {
    std::string line = request.title + ": " + request.message + " [";
    for (size_t i = 0; i < request.buttons.size(); ++i) {
        if (i) line += "/";
        line += request.buttons[i];
    }
    line += "]\n";
    std::fputs(line.c_str(), m_out);
    std::fflush(m_out);
    if (request.buttons.empty() || m_answerFirst) return kAlertDefault;
    return static_cast<int>(request.buttons.size()) - 1;
}

std::unique_ptr<ProgressPanel> ConsolePanels::beginProgress(const std::string&, const std::string&,
                                                            bool) {
    return std::make_unique<SilentProgress>();
}

void ConsolePanels::beep() {}

std::vector<std::string> ConsolePanels::runOpenPanel(const OpenPanelRequest&) { return {}; }

}  // namespace quill

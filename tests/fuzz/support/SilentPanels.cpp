#include "support/SilentPanels.h"

namespace quill::fuzz {
namespace {

class SilentProgress : public ProgressPanel {
  public:
    void setMessage(const std::string&) override {}
    void setFraction(double) override {}
    bool cancelled() const override { return false; }
};

}  // namespace

int SilentPanels::runAlert(const AlertRequest&) { return kAlertDefault; }

std::unique_ptr<ProgressPanel> SilentPanels::beginProgress(const std::string&, const std::string&,
                                                           bool) {
    return std::make_unique<SilentProgress>();
}

std::vector<std::string> SilentPanels::runOpenPanel(const OpenPanelRequest&) { return {}; }

}  // namespace quill::fuzz

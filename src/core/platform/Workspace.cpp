#include "platform/Workspace.h"

#include <utility>

namespace quill {
namespace {

class NoWorkspace : public Workspace {
  public:
    bool openFile(const std::string&) override { return false; }
};

std::shared_ptr<Workspace>& installed() {
    static std::shared_ptr<Workspace> w = std::make_shared<NoWorkspace>();
    return w;
}

}  // namespace

Workspace& workspace() { return *installed(); }

void installWorkspace(std::shared_ptr<Workspace> w) {
    installed() = w ? std::move(w) : std::make_shared<NoWorkspace>();
}

}  // namespace quill

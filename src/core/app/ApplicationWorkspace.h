// ApplicationWorkspace: the workspace Quill installs over the desktop's. Files
// that are Quill's own to open (an external body saved from a message, named
// "*.external-body") go to the application; everything else to the desktop.
// So an external-body icon opens as any other attachment icon does.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Workspace.h"

namespace quill {

class ApplicationWorkspace : public Workspace {
  public:
    using Opener = std::function<bool(const std::string& path)>;

    ApplicationWorkspace(std::shared_ptr<Workspace> desktop, Opener application)
        : m_desktop(std::move(desktop)), m_application(std::move(application)) {}

    // A file of the application's is always taken: it says itself what went wrong.
    bool openFile(const std::string& path) override;
    static bool isApplicationFile(const std::string& path);

  private:
    std::shared_ptr<Workspace> m_desktop;
    Opener m_application;
};

}  // namespace quill

// QtWorkspace: opens files and directories with the desktop's chosen program.
#pragma once

#include "platform/Workspace.h"
#include "process/ProcessLauncher.h"

namespace quill {

class QtWorkspace : public Workspace {
  public:
    explicit QtWorkspace(ProcessLauncher& launcher) : m_launcher(launcher) {}
    bool openFile(const std::string& path) override;

  private:
    ProcessLauncher& m_launcher;
};

}  // namespace quill

// QtWorkspace: opens files and directories with the desktop's chosen program.
#pragma once

#include "platform/Workspace.h"

namespace quill {

class QtWorkspace : public Workspace {
  public:
    bool openFile(const std::string& path) override;
};

}  // namespace quill

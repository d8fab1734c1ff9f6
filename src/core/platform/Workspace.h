// Workspace: hands a file or directory to the user's desktop to open with the
// program the user chose for it. The GUI installs the desktop's; until then
// nothing can be opened.
#pragma once

#include <memory>
#include <string>

namespace quill {

class Workspace {
  public:
    virtual ~Workspace() = default;
    // False when the desktop could not be asked.
    virtual bool openFile(const std::string& path) = 0;
};

Workspace& workspace();
void installWorkspace(std::shared_ptr<Workspace> workspace);

}  // namespace quill

#include "process/removal.h"

#include <fcntl.h>

#include "base/FileHandles.h"
#include "process/ProcessLauncher.h"

namespace quill {

void startRemoval(ProcessLauncher& launcher, const std::string& directory,
                  const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    UniqueFd nothing(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    LaunchRequest request;
    request.argv = {"/bin/rm", "-rf"};
    request.argv.insert(request.argv.end(), paths.begin(), paths.end());
    request.directory = directory;
    request.stdio[0] = nothing.get();
    LaunchedChild child = launcher.launch(request);
    if (child.started()) launcher.watchExit(child.pid, nullptr);
}

}  // namespace quill

// Removing files without waiting: "/bin/rm -rf" started as a child whose end
// goes to the child-exit watch, for removals the user need not wait for.
#pragma once

#include <string>
#include <vector>

namespace quill {

class ProcessLauncher;

// Starts "/bin/rm -rf" with `paths`, in `directory` when it is not empty, with
// standard input from /dev/null. Nothing is started for no paths.
void startRemoval(ProcessLauncher& launcher, const std::string& directory,
                  const std::vector<std::string>& paths);

}  // namespace quill

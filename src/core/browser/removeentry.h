// Removing a mailbox or folder: the entry is first renamed, in its own
// directory, to ".<seconds>.temp", so it leaves the browser at once; then
// "/bin/rm -rf" removes it in a child nobody waits for.
#pragma once

#include <string>

namespace quill {

class ProcessLauncher;

// False when the entry could not be renamed; nothing was removed then.
bool removeEntry(ProcessLauncher& launcher, const std::string& path);

}  // namespace quill

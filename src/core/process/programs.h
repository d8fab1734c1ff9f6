// programs: how the application runs a helper program for itself. run() pipes
// bytes through a filter and answers its output; system() runs a shell
// command line synchronously.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteSource.h"
#include "process/ProcessLauncher.h"

namespace quill {

// Runs argv (searched along the PATH) with `input` as its standard input and
// answers everything it wrote to its standard output; nothing when no pipe or
// process could be made. Input and output move together, so neither side can
// block the other. A program that cannot be run ends with status 1. The child
// is left to the child-exit watch to collect.
std::optional<std::string> run(ProcessLauncher& launcher, const std::vector<std::string>& argv,
                               std::string_view input);
// The same with the next `length` bytes of a stream as input.
std::optional<std::string> run(ProcessLauncher& launcher, const std::vector<std::string>& argv,
                               ByteSource& input, size_t length);

// Runs a command line with the system shell and waits for it; answers the
// shell's wait status, or -1 when it could not be started.
int system(ProcessLauncher& launcher, const std::string& command);

}  // namespace quill

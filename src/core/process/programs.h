// programs: how the application runs a helper program for itself. run() pipes
// bytes through a filter and answers its output; exec() is the last step of a
// freshly forked child; system() runs a shell command line synchronously
// without the child-exit watch taking its status.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteSource.h"
#include "process/ChildProcess.h"

namespace quill {

// Runs argv (searched along the PATH) with `input` as its standard input and
// answers everything it wrote to its standard output; nothing when no pipe or
// process could be made. Input and output move together, so neither side can
// block the other. The child is left to the child-exit watch to collect.
std::optional<std::string> run(const std::vector<std::string>& argv, std::string_view input);
// The same with the next `length` bytes of a stream as input.
std::optional<std::string> run(const std::vector<std::string>& argv, ByteSource& input,
                               size_t length);

// In a freshly forked child: `in` becomes standard input, `out` standard
// output, every other descriptor from 3 up is closed, and argv is executed.
// If it cannot be, the child ends with status 1; this never returns.
[[noreturn]] void exec(const CArgv& argv, int in, int out);

// Runs a command line with the system shell, the child-exit watch off
// meanwhile; answers the shell's wait status.
int system(const std::string& command);

}  // namespace quill

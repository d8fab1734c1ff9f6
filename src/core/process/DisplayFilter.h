// The "DisplayFilter" command: a user program that rewrites a message before
// it is shown. It reads the message on its standard input and writes the text
// to show on its standard output.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "process/ProcessLauncher.h"

namespace quill {

// Runs `command` (a program and its arguments separated by blanks) with
// `input` as its standard input; answers its output, or nothing when it could
// not run. Both pipes are served at once so that neither side can block.
std::optional<std::string> runDisplayFilter(ProcessLauncher& launcher, const std::string& command,
                                            std::string_view input);

}  // namespace quill

// RunCommand: runs external programs (tar, compress, a shell) synchronously
// through a launcher, as a pipeline fed from one stream and drained into
// another, and reports the first failing exit code. Streams are standard streams or the message
// model's ByteSource and ByteSink. Also the small helpers that build what such programs are given:
// shell quoting and the removal of the process-specific part of a temporary file name.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteSink.h"
#include "base/ByteSource.h"
#include "process/ProcessLauncher.h"

namespace quill {

class RunCommand {
  public:
    // One program and its arguments; the first entry is searched along the PATH.
    using Argv = std::vector<std::string>;

    explicit RunCommand(ProcessLauncher& launcher) : m_launcher(launcher) {}

    // Starts every program with each one's output piped to the next one's
    // input. With `input`, its bytes are the first program's standard input
    // (otherwise ours); with `output`, the last program's output is collected
    // there (otherwise it goes to our standard output). Input and output are
    // moved together, so any amount passes through. Waits for all programs and
    // answers the first non-zero exit code in pipeline order, 0, or -1 when a
    // pipe could not be made. A program that cannot be started exits with 127.
    int runPipe(const std::vector<Argv>& commands, std::istream* input, std::ostream* output);
    int runPipe(const std::vector<Argv>& commands, ByteSource& input, ByteSink& output);
    int runPipeWithInputFrom(const std::vector<Argv>& commands, std::istream& input) {
        return runPipe(commands, &input, nullptr);
    }
    int runPipeWithInputFrom(const std::vector<Argv>& commands, ByteSource& input);
    int runPipeWithOutputTo(const std::vector<Argv>& commands, std::ostream& output) {
        return runPipe(commands, nullptr, &output);
    }
    int runPipeWithOutputTo(const std::vector<Argv>& commands, ByteSink& output);

    // One shell command fed from `input` or drained into `output` (not both:
    // that is logged as an internal error and answers -1). Answers the shell's
    // raw wait status, or -1 when it could not be started.
    int run(const std::string& command, std::istream* input, std::ostream* output);
    int runWithInputFrom(const std::string& command, std::istream& input) {
        return run(command, &input, nullptr);
    }
    int runWithInputFrom(const std::string& command, ByteSource& input);
    int runWithOutputTo(const std::string& command, std::ostream& output) {
        return run(command, nullptr, &output);
    }
    int runWithOutputTo(const std::string& command, ByteSink& output);

  private:
    ProcessLauncher& m_launcher;
};

// `value` as one shell word: in single quotes, each quote written as '\''.
// Every value from mail or from the user that goes into a shell command line
// goes through this, so blanks, quotes, `$` and the like stay literal.
std::string shellQuote(std::string_view value);

// Removes the "-<pid>-<digits>" this process put into a temporary name:
// in process 4711, "report-4711-3.ps" becomes "report.ps".
std::string unmanglefilename(const std::string& name);

}  // namespace quill

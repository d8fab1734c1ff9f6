#include "process/programs.h"

#include <cerrno>

#include "process/ChildProcess.h"

namespace quill {
namespace {

constexpr size_t kBlock = 1024;

}  // namespace

std::optional<std::string> run(ProcessLauncher& launcher, const std::vector<std::string>& argv,
                               std::string_view input) {
    LaunchRequest request;
    request.argv = argv;
    request.failureLabel = argv.empty() ? "" : argv[0];
    request.failureStatus = 1;
    request.stdio[0] = request.stdio[1] = kPipeStream;
    LaunchedChild child = launcher.launch(request);
    if (!child.started()) {
        reportSystemError("fork");
        return std::nullopt;
    }
    launcher.watchExit(child.pid, nullptr);
    std::string output;
    if (!feedAndCollect(std::move(child.input), input, std::move(child.output), output, kBlock)) {
        reportSystemError("select");
    }
    return output;
}

std::optional<std::string> run(ProcessLauncher& launcher, const std::vector<std::string>& argv,
                               ByteSource& input, size_t length) {
    std::string_view bytes = input.remaining().substr(0, length);
    input.seek(input.position() + bytes.size());
    if (bytes.size() < length) {
        // The stream ended early: the program gets what there was.
        errno = ENODATA;
        reportSystemError("read error");
    }
    return run(launcher, argv, bytes);
}

int system(ProcessLauncher& launcher, const std::string& command) {
    LaunchRequest request;
    request.argv = {"/bin/sh", "-c", command};
    LaunchedChild child = launcher.launch(request);
    return child.started() ? launcher.wait(child.pid) : -1;
}

}  // namespace quill

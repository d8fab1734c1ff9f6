#include "process/DisplayFilter.h"

#include <sstream>
#include <vector>

#include "process/ChildProcess.h"

namespace quill {
namespace {

constexpr size_t kChunk = 65536;

std::vector<std::string> splitWords(const std::string& command) {
    std::istringstream in(command);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

}  // namespace

std::optional<std::string> runDisplayFilter(ProcessLauncher& launcher, const std::string& command,
                                            std::string_view input) {
    LaunchRequest request;
    request.argv = splitWords(command);
    if (request.argv.empty()) return std::nullopt;
    request.failureStatus = 1;
    request.stdio[0] = request.stdio[1] = kPipeStream;
    LaunchedChild child = launcher.launch(request);
    if (!child.started()) return std::nullopt;
    std::string output;
    feedAndCollect(std::move(child.input), input, std::move(child.output), output, kChunk);
    launcher.wait(child.pid);
    return output;
}

}  // namespace quill

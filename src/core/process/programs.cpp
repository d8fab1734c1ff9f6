#include "process/programs.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "process/ChildWatch.h"

namespace quill {
namespace {

constexpr size_t kBlock = 1024;

}  // namespace

std::optional<std::string> run(const std::vector<std::string>& argv, std::string_view input) {
    UniqueFd childIn, feed, drain, childOut;
    if (!makePipe(childIn, feed) || !makePipe(drain, childOut)) {
        reportSystemError("pipe");
        return std::nullopt;
    }
    CArgv args(argv);
    pid_t pid = ::fork();
    if (pid == 0) exec(args, childIn.get(), childOut.get());
    if (pid < 0) {
        reportSystemError("fork");
        return std::nullopt;
    }
    childIn.reset();
    childOut.reset();
    std::string output;
    auto pull = [&input](char* buffer, size_t size) {
        size_t n = std::min(size, input.size());
        input.copy(buffer, n);
        input.remove_prefix(n);
        return n;
    };
    auto push = [&output](const char* bytes, size_t size) { output.append(bytes, size); };
    const char* failed = nullptr;
    if (!feedAndDrain(std::move(feed), pull, std::move(drain), push, kBlock, &failed)) {
        reportSystemError("select");
    }
    return output;
}

std::optional<std::string> run(const std::vector<std::string>& argv, ByteSource& input,
                               size_t length) {
    std::string_view bytes = input.remaining().substr(0, length);
    input.seek(input.position() + bytes.size());
    if (bytes.size() < length) {
        // The stream ended early: the program gets what there was.
        errno = ENODATA;
        reportSystemError("read error");
    }
    return run(argv, bytes);
}

void exec(const CArgv& argv, int in, int out) {
    redirectChild(in, out, -1, nullptr);
    execChild(argv, argv.program(), 1);
}

int system(const std::string& command) {
    ChildWatchPause pause;
    return std::system(command.c_str());
}

}  // namespace quill

#include "store/attachmentdirs.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "base/FileHandles.h"
#include "base/ascii.h"
#include "process/ProcessLauncher.h"
#include "process/removal.h"

namespace quill {
namespace {

constexpr std::size_t kMaxExtension = 1023;
constexpr int kUniqueAttempts = 100;
constexpr std::string_view kReference = "Zell-Reference:";

long microseconds() {
    struct timeval tv;
    ::gettimeofday(&tv, nullptr);
    return static_cast<long>(tv.tv_usec);
}

// Where the header block of a message ends (its empty line), or the end.
std::size_t headerEnd(const std::string& message, std::size_t from, std::size_t to) {
    std::size_t blank = message.find("\n\n", from);
    return blank == std::string::npos || blank >= to ? to : blank + 1;
}

UniqueFd devNull(int flags) { return UniqueFd(::open("/dev/null", flags | O_CLOEXEC)); }

std::string absolute(const std::string& path) {
    if (path.starts_with('/')) return path;
    char cwd[4096];
    return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

// A child of the copy in directory `from`; one that cannot enter it ends with 1.
LaunchRequest copyStage(std::vector<std::string> argv, const std::string& from, int in, int out) {
    LaunchRequest request;
    request.argv = std::move(argv);
    request.directory = from;
    request.stdio[0] = in;
    request.stdio[1] = out;
    request.failureStatus = 1;
    return request;
}

bool endedWell(ProcessLauncher& launcher, const LaunchedChild& child) {
    if (!child.started()) return false;
    int status = launcher.wait(child.pid);
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What rm -rf may be given: a name inside the directory, never an option.
bool plainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

bool copyAttachmentDirectory(ProcessLauncher& launcher, const std::string& from,
                             const std::string& to) {
    std::string destination = absolute(to);
    if (::mkdir(destination.c_str(), 0755) != 0) return false;
    int ends[2];
    UniqueFd nothing = devNull(O_RDWR);
    bool copied = false;
    if (nothing && ::pipe2(ends, O_CLOEXEC) == 0) {
        UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
        LaunchedChild cpio = launcher.launch(
            copyStage({"/usr/bin/cpio", "-pdl", destination}, from, readEnd.get(), nothing.get()));
        LaunchedChild find = launcher.launch(copyStage({"/usr/bin/find", ".", "-depth", "-print"},
                                                       from, nothing.get(), writeEnd.get()));
        // Only the children may hold the pipe, so cpio sees its end.
        readEnd.reset();
        writeEnd.reset();
        if (!find.started() && cpio.started()) launcher.signalGroup(cpio.pid, SIGKILL);
        bool found = endedWell(launcher, find);
        copied = endedWell(launcher, cpio) && found;
    }
    if (!copied) {
        std::error_code error;
        std::filesystem::remove_all(destination, error);
    }
    return copied;
}

void removeAttachmentDirectories(ProcessLauncher& launcher, const std::string& dir,
                                 const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        if (plainName(name)) paths.push_back(name.starts_with('-') ? "./" + name : name);
    }
    startRemoval(launcher, dir, paths);
}

std::string_view basename(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string getExtension(std::string_view path) {
    std::string_view last = basename(path);
    std::size_t dot = last.rfind('.');
    if (dot == std::string_view::npos) return {};
    return std::string(last.substr(dot, kMaxExtension));
}

void getUniqueDir(std::string& path) {
    for (int attempt = 0; attempt < kUniqueAttempts && ::access(path.c_str(), F_OK) == 0;
         ++attempt) {
        std::string extension = getExtension(path);
        std::string stem = path.substr(0, path.size() - extension.size());
        std::size_t digits = stem.size();
        while (digits > 0 && isDigit(stem[digits - 1])) --digits;
        if (digits < stem.size() && digits > 0 && stem[digits - 1] == '_') stem.resize(digits - 1);
        path = stem + "_" + std::to_string(microseconds()) + extension;
    }
}

bool rewriteReference(std::string& message, std::size_t from, std::size_t to,
                      const std::string& name, bool encrypt) {
    std::size_t end = headerEnd(message, from, to);
    for (std::size_t line = from; line < end;) {
        std::size_t next = message.find('\n', line);
        next = next == std::string::npos || next >= end ? end : next;
        std::string_view text(message.data() + line, next - line);
        if (startsWithIgnoringCase(text, kReference)) {
            std::string value = " " + name + (encrypt ? ", E" : "") + ", 1/1";
            std::size_t at = line + kReference.size();
            if (value.size() <= next - at) {
                message.replace(at, value.size(), value);
            } else {
                message.replace(at, next - at, value);
            }
            return true;
        }
        line = next + 1;
    }
    return false;
}

}  // namespace quill

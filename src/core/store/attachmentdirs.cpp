#include "store/attachmentdirs.h"

#include <sys/time.h>
#include <unistd.h>

#include <algorithm>

#include "base/ascii.h"

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

}  // namespace

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

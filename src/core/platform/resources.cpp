#include "platform/resources.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "BuildInfo.h"

namespace quill {

std::string programDirectory() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string exe(buf, static_cast<size_t>(n));
    return exe.substr(0, exe.rfind('/'));
}

std::string getResourceDir(const std::string& name) {
    std::vector<std::string> dirs;
    if (const char* env = std::getenv("QUILL_RESOURCE_DIR"); env && *env) dirs.push_back(env);
    std::string bin = programDirectory();
    if (!bin.empty()) {
        dirs.push_back(bin + "/../share/quill");
        dirs.push_back(bin + "/../libexec/quill");
        dirs.push_back(bin);
    }
    dirs.push_back(buildinfo::kSourceResourceDir);
    for (const auto& dir : dirs) {
        std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), F_OK) == 0) return candidate;
    }
    return dirs.front() + "/" + name;
}

std::string getShortName(const std::string& path) {
    std::string name = path.size() >= 5 ? path.substr(0, path.size() - 5) : std::string();
    auto slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string resolveHelperProgram(const std::string& configured) {
    if (configured.empty() || configured[0] == '/') return configured;
    return getResourceDir(configured);
}

}  // namespace quill

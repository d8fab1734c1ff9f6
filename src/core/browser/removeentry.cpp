#include "browser/removeentry.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "base/Diagnostics.h"
#include "process/removal.h"

namespace quill {
namespace {

// ".%ld.temp" in the entry's directory; a later second when that name is
// taken by a removal still running.
std::string hiddenName(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    struct stat st {};
    for (long seconds = static_cast<long>(std::time(nullptr));; ++seconds) {
        std::string name = directory + formatString(".%ld%s", seconds, ".temp");
        if (::lstat(name.c_str(), &st) != 0) return name;
    }
}

}  // namespace

bool removeEntry(ProcessLauncher& launcher, const std::string& path) {
    std::string hidden = hiddenName(path);
    if (std::rename(path.c_str(), hidden.c_str()) != 0) return false;
    startRemoval(launcher, "", {hidden});
    return true;
}

}  // namespace quill

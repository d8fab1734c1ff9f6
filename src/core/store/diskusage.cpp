#include "store/diskusage.h"

#include <ftw.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "base/Diagnostics.h"

namespace quill {
namespace {

thread_local std::int64_t t_total;

int addBlocks(const char*, const struct stat* st, int, struct FTW*) {
    t_total += static_cast<std::int64_t>(st->st_blocks) * 512;
    return 0;
}

}  // namespace

bool diskUsage(const std::string& path, std::int64_t& bytes) {
    t_total = 0;
    if (::nftw(path.c_str(), addBlocks, 16, FTW_PHYS) != 0) return false;
    bytes = t_total;
    return true;
}

void reportPathError(const std::string& path, int errnum) {
    logRaw(path + ": " + std::strerror(errnum) + "\n");
}

}  // namespace quill

// The durable file steps mailbox changes are built from. Each write, sync,
// truncation and rename passes the FaultInjection seam, answers a Status and
// leaves errno alone for the caller's report. A replacement file is written
// beside its target under a fixed name ("<target>.new") so that the opening
// of a mailbox can tell, after a crash, what was half done.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/FileHandles.h"
#include "base/Status.h"

namespace quill::durable {

// "<target>.new".
std::string sidePath(const std::string& target);
// Creates (or empties) a side file with `mode`; check the answer's validity.
UniqueFd createSide(const std::string& path, mode_t mode, Status& status);
Status write(int fd, std::string_view bytes, const std::string& path);
Status writeAt(int fd, std::string_view bytes, off_t at, const std::string& path);
// Copies [from, from + count) of `in` to the end of `out` in 1 MB steps;
// `progress` is told the bytes copied so far and answers false to stop,
// which answers a Status of kind kCancelled.
Status copyRange(int out, int in, off_t from, off_t count, const std::string& path,
                 const std::function<bool(off_t)>& progress);
Status sync(int fd, const std::string& path);
Status truncate(const std::string& path, off_t length);
// Makes renames and removals in directory `dir` permanent.
Status syncDirectory(const std::string& dir);
Status rename(const std::string& from, const std::string& to);
// Writes a whole small file under its side name, syncs it and renames it
// into place, then syncs the directory: the file is there whole or not at all.
Status replaceFile(const std::string& path, std::string_view bytes, mode_t mode);
// Removes a file (a missing one is fine) and syncs its directory.
Status remove(const std::string& path);
bool exists(const std::string& path);
std::string directoryOf(const std::string& path);

}  // namespace quill::durable

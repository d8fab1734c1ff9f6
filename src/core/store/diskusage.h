// Disk usage of attachment directories: what the index records as an
// attachment's size, with the directory's modification time beside it.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

// Bytes of disk the tree at `path` occupies (allocated blocks, as du counts
// them); false with errno set when it cannot be walked.
bool diskUsage(const std::string& path, std::int64_t& bytes);

// Reports a failed query of an attachment directory on the diagnostics sink.
void reportPathError(const std::string& path, int errnum);

}  // namespace quill

// Figures the kernel keeps about this process, read from /proc.
#pragma once

namespace quill::bench {

// The number after `key` (such as "rchar:" or "VmHWM:") in a /proc file such
// as "/proc/self/io" or "/proc/self/status"; 0 when it is missing.
long procValue(const char* file, const char* key);

}  // namespace quill::bench

// Realistic mailboxes for benchmarks: varied header blocks, plain and
// alternative text, MIME messages with base64 attachments, a long tail of
// large messages, ">From " lines and some Content-Length headers. The same
// seed always gives the same bytes. Files go to a scratch directory that is
// removed at exit unless QUILL_BENCH_DIR names one to keep between runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quill::bench {

// Writes `count` messages to `path`; answers the number of bytes written.
std::uint64_t writeMailbox(const std::string& path, int count, std::uint64_t seed = 1);

// A mailbox directory "<scratch>/Bench<count>.mbox" with a generated "mbox"
// (made on first use, reused afterwards).
std::string benchMailbox(int count);

// Whether QUILL_BENCH_TEXT_ONLY asks for mailboxes of short plain-text
// messages ("Bench<count>text.mbox"), so that a million messages fit in 2 GB.
bool textOnly();

// The scratch directory (created on first use).
const std::string& scratchDir();

}  // namespace quill::bench

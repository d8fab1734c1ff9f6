// p2open: a shell command with both directions piped, for add-on modules. The
// command's standard output and standard error come back on one stream; its
// standard input is the other. Close the write stream first (the command sees
// end of file), then p2close the read stream to collect the command.
#pragma once

#include <cstdio>
#include <string>

namespace quill {

// Starts "sh -c command". Answers 1 with both streams set, 0 on failure.
int p2open(const std::string& command, std::FILE** readStream, std::FILE** writeStream);
// Closes a read stream from p2open and waits for its command: its raw wait
// status, or -1 when the stream was not opened by p2open or the wait failed.
int p2close(std::FILE* readStream);

}  // namespace quill

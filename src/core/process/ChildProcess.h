// ChildProcess: talking to a started child over its pipes. Pipes are written
// without a broken pipe killing the application, and fed and drained together
// so that neither side waits for the other.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/FileHandles.h"

namespace quill {

// Writes "prefix: <system's text for errno>\n" as the C library's error printer does.
void reportSystemError(const std::string& prefix);

// Writes every byte to a pipe. A reader that went away makes it answer false
// with errno EPIPE instead of raising the broken-pipe signal.
bool writeToPipe(int fd, std::string_view bytes);

// Pumps data through a child: pulls input with `readInput` (answers the bytes
// it put into the buffer, 0 at the end) and writes it to `feed`, while reading
// `drain` to its end and handing each piece to `writeOutput`. Either descriptor
// may be invalid. Both are closed when done. A reader that stops taking input
// ends the feeding, not the drain. Answers false (errno set, `failedCall` names
// the call) only when waiting on the descriptors fails.
using InputPuller = std::function<size_t(char* buffer, size_t size)>;
using OutputPusher = std::function<void(const char* bytes, size_t size)>;
bool feedAndDrain(UniqueFd feed, const InputPuller& readInput, UniqueFd drain,
                  const OutputPusher& writeOutput, size_t chunk, const char** failedCall);
// feedAndDrain with all of `input` fed and everything drained appended to `output`.
bool feedAndCollect(UniqueFd feed, std::string_view input, UniqueFd drain, std::string& output,
                    size_t chunk);

}  // namespace quill

// Diagnostics: one-line notes, warnings and errors about what an object met.
// Lines go to a sink the application installs (standard error by default);
// tests install a sink that captures them.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>

namespace quill {

using LogSink = std::function<void(const std::string& line)>;

// Installs the sink every diagnostic line goes to; an empty sink restores standard error.
void setLogSink(LogSink sink);
// A sink for the lines of the calling thread only, ahead of the shared one
// (a worker thread keeps its lines to pass on in order); empty removes it.
void setThreadLogSink(LogSink sink);

// "[who: message]\n"
void logNote(const std::string& who, const char* format, ...) __attribute__((format(printf, 2, 3)));
// "[who Warning: message]\n"
void logWarning(const std::string& who, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// "[*** who Error: message***]\n"
void logError(const std::string& who, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// A line printed with its own brackets, such as "[Quill: Bundle loading disabled]\n".
void logRaw(const std::string& line);

// printf into a std::string.
std::string formatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vformatString(const char* format, va_list args);

}  // namespace quill

#include "base/Diagnostics.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace quill {
namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

LogSink& currentSink() {
    static LogSink sink;
    return sink;
}

thread_local LogSink threadSink;

void emit(const std::string& line) {
    if (threadSink) {
        threadSink(line);
        return;
    }
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (currentSink()) {
        currentSink()(line);
    } else {
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    }
}

}  // namespace

void setThreadLogSink(LogSink sink) { threadSink = std::move(sink); }

void setLogSink(LogSink sink) {
    std::lock_guard<std::mutex> lock(sinkMutex());
    currentSink() = std::move(sink);
}

std::string vformatString(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string formatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = vformatString(format, args);
    va_end(args);
    return s;
}

void logNote(const std::string& who, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string msg = vformatString(format, args);
    va_end(args);
    emit("[" + who + ": " + msg + "]\n");
}

void logWarning(const std::string& who, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string msg = vformatString(format, args);
    va_end(args);
    emit("[" + who + " Warning: " + msg + "]\n");
}

void logError(const std::string& who, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string msg = vformatString(format, args);
    va_end(args);
    emit("[*** " + who + " Error: " + msg + "***]\n");
}

void logRaw(const std::string& line) { emit(line); }

}  // namespace quill

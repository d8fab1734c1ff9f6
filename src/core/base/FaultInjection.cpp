#include "base/FaultInjection.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace quill {
namespace {

struct Seam {
    std::function<int(const char*)> failure;
    std::atomic<long> steps = 0;
    long killAt = [] {
        const char* text = std::getenv("QUILL_KILL_AT_STEP");
        return text ? std::atol(text) : 0L;
    }();
};

Seam& seam() {
    static Seam s;
    return s;
}

}  // namespace

int FaultInjection::step(const char* what) {
    Seam& s = seam();
    if (++s.steps == s.killAt) std::raise(SIGKILL);
    int error = s.failure ? s.failure(what) : 0;
    if (error != 0) errno = error;
    return error;
}

void FaultInjection::setFailure(std::function<int(const char*)> failure) {
    seam().failure = std::move(failure);
}

long FaultInjection::steps() { return seam().steps; }

}  // namespace quill

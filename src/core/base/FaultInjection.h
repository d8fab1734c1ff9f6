// FaultInjection: the seam every step of a crash-safe file change passes
// through (each write, sync, truncation and rename). Tests make a step fail
// with an errno (a full disk), or have the process killed at the Nth step:
// QUILL_KILL_AT_STEP=N in the environment sends SIGKILL to the process just
// before its Nth step, so a kill can land between any two writes.
#pragma once

#include <functional>

namespace quill {

class FaultInjection {
  public:
    // Answers 0 to go on, or the errno the step is to fail with (set in errno).
    // `what` names the step ("write", "sync", "rename", "truncate").
    static int step(const char* what);
    // Decides the failure of each step; unset: every step goes on.
    static void setFailure(std::function<int(const char* what)> failure);
    // Steps taken so far in this process.
    static long steps();
};

}  // namespace quill

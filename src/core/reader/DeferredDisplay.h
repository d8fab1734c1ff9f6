// DeferredDisplay: when the message that keys moved the selection to is
// shown. Each move starts the wait again, so a held key moves the list at key
// rate and only the message the keys stop on is read and shown; a command
// that acts on the shown message settles a waiting display first.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "platform/RunLoop.h"

namespace quill {

class DeferredDisplay {
  public:
    // Longer than the gap between a held key's repeats, short enough that a
    // single key press still shows its message at once to the eye.
    static constexpr std::chrono::milliseconds kWait{80};

    DeferredDisplay(RunLoop& loop, std::function<void()> show,
                    std::chrono::milliseconds wait = kWait);
    ~DeferredDisplay() { cancel(); }
    DeferredDisplay(const DeferredDisplay&) = delete;
    DeferredDisplay& operator=(const DeferredDisplay&) = delete;

    // Starts the wait, or starts it again when it is running.
    void restart();
    void cancel();
    // Shows now when a display waits; answers whether one did.
    bool settle();
    bool waiting() const { return m_pending.has_value(); }

  private:
    void fire();

    RunLoop& m_loop;
    std::function<void()> m_show;
    std::chrono::milliseconds m_wait;
    std::optional<RunLoop::Id> m_pending;
};

}  // namespace quill

// PollRunLoop: a RunLoop on poll(2), for tests and command-line tools.
#pragma once

#include <deque>
#include <map>
#include <mutex>

#include "base/FileHandles.h"
#include "platform/RunLoop.h"

namespace quill {

class PollRunLoop : public RunLoop {
  public:
    PollRunLoop();

    Id performAfter(std::chrono::milliseconds delay, Callback fn) override;
    void cancel(Id id) override;
    Id watchReadable(int fd, Callback fn) override;
    void unwatch(Id id) override;
    void post(Callback fn) override;
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override;

    // Waits at most timeout for events and serves those that are ready.
    void runOnce(std::chrono::milliseconds timeout);
    // Serves events until quit() is called.
    void run();
    void quit() { m_quit = true; }

  private:
    using Clock = std::chrono::steady_clock;
    struct Watch {
        int fd;
        Callback fn;
    };

    void servePosted();
    void serveTimers();
    void dispatch(const Callback& fn);
    int pollTimeout(std::chrono::milliseconds limit) const;

    Id m_nextId = 1;
    std::map<std::pair<Clock::time_point, Id>, Callback> m_timers;
    std::map<Id, Clock::time_point> m_timerDue;
    std::map<Id, Watch> m_watches;
    std::mutex m_postMutex;
    std::deque<Callback> m_posted;
    UniqueFd m_wakeRead;
    UniqueFd m_wakeWrite;
    bool m_quit = false;
};

}  // namespace quill

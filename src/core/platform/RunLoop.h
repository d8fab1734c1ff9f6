// RunLoop: the main thread's event loop as the core sees it. Delayed calls can
// be cancelled; descriptor watches are served in modal waits too; other threads
// hand work to the main thread with post(); objects handed to releaseLater()
// live until the event being handled ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quill {

class RunLoop {
  public:
    using Id = std::uint64_t;
    using Callback = std::function<void()>;

    virtual ~RunLoop() = default;

    virtual Id performAfter(std::chrono::milliseconds delay, Callback fn) = 0;
    // Cancels a delayed call that has not run yet; a spent id is ignored.
    virtual void cancel(Id id) = 0;
    // Calls fn on the main thread whenever fd is readable, until unwatch(id).
    virtual Id watchReadable(int fd, Callback fn) = 0;
    virtual void unwatch(Id id) = 0;
    // Safe from any thread: fn runs on the main thread as an event of its own.
    virtual void post(Callback fn) = 0;
    // A modal wait: serves events until done() holds or the timeout passes.
    // Answers done() at the end.
    virtual bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) = 0;

    void releaseLater(std::shared_ptr<void> object);

  protected:
    // Called after each event: drops what releaseLater kept for it.
    void endOfEvent();

  private:
    std::vector<std::shared_ptr<void>> m_released;
};

// The main thread's loop; a PollRunLoop until the application installs another.
RunLoop& runLoop();
void installRunLoop(std::shared_ptr<RunLoop> loop);

}  // namespace quill

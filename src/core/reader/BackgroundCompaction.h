// BackgroundCompaction: copies "mbox" for a compaction on a worker thread
// while the window's run loop goes on. A progress panel shows how far it is;
// its Cancel stops the copy, which leaves the mailbox as it was. The end is
// handed back on the main thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "base/Status.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"

namespace quill {

class Compaction;

class BackgroundCompaction {
  public:
    // Called once on the main thread with how the copy ended (kCancelled when
    // the user stopped it). It may destroy this object.
    using Done = std::function<void(const Status& copied)>;

    BackgroundCompaction(Compaction& compaction, Panels& panels, RunLoop& loop, Done done);
    // Stops the copy and waits for the worker; `done` is not called then.
    ~BackgroundCompaction();
    BackgroundCompaction(const BackgroundCompaction&) = delete;
    BackgroundCompaction& operator=(const BackgroundCompaction&) = delete;

  private:
    void poll();

    RunLoop& m_loop;
    Done m_done;
    std::unique_ptr<ProgressPanel> m_panel;
    std::atomic<double> m_fraction = 0;
    std::atomic<bool> m_cancel = false;
    std::atomic<bool> m_finished = false;
    Status m_status;
    RunLoop::Id m_timer = 0;
    std::thread m_worker;
};

}  // namespace quill

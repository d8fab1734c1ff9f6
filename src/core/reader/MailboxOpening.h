// MailboxOpening: a mailbox being opened for a window. One whose index can be
// read as it is opens at once, as before. One whose index must be rebuilt is
// opened up to its index on the main thread (the lock, recovery of interrupted
// work), scanned on a worker thread while the window shows how far it got,
// and finished on the main thread: the held failures are told there in order,
// and the reader is made. A cancel, or the window closing, stops the scan and
// closes the mailbox, releasing its lock; the index file is left as it was.
// Until the reader exists the opening stands for the window with the driver,
// so opening the same mailbox again brings this window forward.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "reader/MailWindowController.h"
#include "store/MailBox.h"
#include "store/MailContext.h"
#include "store/TocFormat.h"

namespace quill {

class MailReader;
class NewMailNotice;

class MailboxOpening : public MailWindowController, private ProgressPanel {
  public:
    enum class State { NotStarted, Rebuilding, Opened, Failed, Cancelled };
    // What the window showing a rebuild is told, on the main thread.
    struct Hooks {
        std::function<void(double fraction)> progress;
        // The state left Rebuilding; the hook may end the opening.
        std::function<void()> finished;
        std::function<void()> orderFront;
        // The driver closes the window (which then abandons the opening).
        std::function<void()> close;
    };

    MailboxOpening(std::string path, const MailContext& context, NewMailNotice& newMail);
    // Stops a scan still running and closes its mailbox; no hook is called.
    ~MailboxOpening() override;
    MailboxOpening(const MailboxOpening&) = delete;
    MailboxOpening& operator=(const MailboxOpening&) = delete;

    // Opens the mailbox, or starts its rebuild: the state is then Opened,
    // Failed (the user was told why) or Rebuilding.
    void start();
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    State state() const { return m_state; }
    double fraction() const { return m_fraction; }
    // The frame the window opens with: from the index as it was, even stale,
    // else the defaults; true when it came from the index.
    bool recordedFrame(tocformat::WindowFrame& frame, float& tocHeight) const;
    // "Rebuilding table of contents for <mailbox>.  Please wait..."
    std::string rebuildMessage() const;
    // The user's Cancel; the state becomes Cancelled when the scan has stopped.
    void cancel() { m_cancel = true; }
    // The window is gone: a scan still running stops and the mailbox closes
    // now, with no hook called.
    void abandon();
    // The reader of an opened mailbox, once.
    std::unique_ptr<MailReader> takeReader();

    // Slows each progress step of every later scan, so a test sees one run.
    static void slowScanForTesting(std::chrono::microseconds perStep);

    // MailWindowController
    std::string mailboxPath() const override { return m_path; }
    void orderFront() override;
    void closeWindow() override;

  private:
    // ProgressPanel, as the worker's scan sees it.
    void setMessage(const std::string&) override {}
    void setFraction(double fraction) override;
    bool cancelled() const override { return m_cancel; }

    void readOldHeader();
    void startRebuild();
    void poll();
    // The reader, or Failed when the index did not load or the rest failed.
    void finish(bool indexLoaded);
    void stopWorker();

    std::string m_path;
    class HeldReports;
    std::shared_ptr<HeldReports> m_held;
    MailContext m_context;
    NewMailNotice& m_newMail;
    Hooks m_hooks;
    State m_state = State::NotStarted;
    std::unique_ptr<MailBox> m_mailbox;
    std::unique_ptr<MailReader> m_reader;
    tocformat::Header m_oldHeader;
    bool m_oldHeaderRead = false;
    OffThreadRebuild m_rebuild;
    std::atomic<double> m_fraction = 0;
    std::atomic<bool> m_cancel = false;
    std::atomic<bool> m_finished = false;
    bool m_rebuilt = false;
    RunLoop::Id m_timer = 0;
    std::thread m_worker;
};

}  // namespace quill

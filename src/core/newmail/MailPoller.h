// MailPoller: the polling thread and the fetch port. The thread wakes every
// "PollTime" minutes or when asked (message 100, or 101 for the first check),
// looks at the spool, "Copy_of_Spoolfile" and "Incoming_Mail", and starts the
// fetch program (locally, or through the remote shell for "RemoteFetch").
// It reaches the main thread only through messages: 1001 "mail is waiting",
// 1002 "beep", and the fetch program's 1004 started, 1003 progress and 1000
// done, which arrive on the port registered under the fetch port name.
// handleMsg runs on the main thread and incorporates the fetched mail.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/FileHandles.h"
#include "base/Status.h"
#include "platform/PortMessage.h"
#include "platform/RunLoop.h"
#include "process/ProcessLauncher.h"
#include "store/MailContext.h"

namespace quill {

inline constexpr int kPollCheckMsg = 100;
inline constexpr int kPollInitialMsg = 101;
inline constexpr int kFetchWaitingMsg = 1001;
inline constexpr int kFetchBeepMsg = 1002;
// Within this process only: a check the user asked for found nothing waiting,
// or found the fetch program still at work.
inline constexpr int kFetchNothingMsg = 1100;
inline constexpr int kFetchBusyMsg = 1101;

class MailPoller {
  public:
    // What the application does for the poller, all on the main thread.
    struct Hooks {
        std::function<void()> newMailMsg;
        std::function<void()> beep;
        // A check the user asked for found no mail, found a fetch still
        // running, or the fetch failed (why).
        std::function<void()> noNewMail;
        std::function<void()> fetchBusy;
        std::function<void(const std::string& why)> fetchFailed;
        // The fetch could not write the active mailbox: what the user is told.
        std::function<void(const Status& status)> fileFailed;
        std::function<void(int count)> incomingMail;
        std::function<void()> incomingDone;
        // incorporateMail: (NO) on the active mailbox's window.
        std::function<void()> incorporateActive;
        // Whether a window shows the active mailbox.
        std::function<bool()> activeWindowShown;
        // Every mailbox window: its mailbox path and how to incorporate into it.
        struct Window {
            std::string mailboxPath;
            std::function<void()> incorporate;
        };
        std::function<std::vector<Window>()> mailWindows;
    };

    // The poll context: set up once by initMailInfo, then shared.
    struct Context {
        std::string mailDir, activeMailbox, spoolFile, login, hostName;
        bool remote = false;
        std::string remoteHost, remotePath;
        std::string fetchPortName, fetchProgram;
        std::string rsh = "/usr/bin/rsh";
        bool autoFetch = true, incAllMailboxes = false;
        int pollMinutes = 5;
        pid_t fetchPid = -1;
        std::time_t lastFetchTime = 0;
        bool started = false;
    };

    // The settings are read from the context's defaults, the fetch port is
    // watched and the thread's messages handled on its run loop; fetch
    // programs and remote look-ups start through `launcher`.
    MailPoller(Hooks hooks, const MailContext& services, ProcessLauncher& launcher);
    ~MailPoller();
    MailPoller(const MailPoller&) = delete;
    MailPoller& operator=(const MailPoller&) = delete;

    // Reads the settings into the context and makes the fetch port name.
    void initMailInfo();
    // Registers the fetch port and watches it on the run loop.
    bool bootCheckIn();
    // Withdraws the fetch port name and registers it again.
    void recheckinLocal();
    // Starts the polling thread (once).
    void start();
    void stop();

    void checkNewMail(const std::string& mailbox, bool beep);
    void initialPoll();
    // The first activation: a check without beep, or initialPoll when started at log-in.
    void initialCheck(bool autoLaunched);
    void quickCheck();
    // A quick check ten seconds from now, unless one is pending.
    void checkForMail();
    // incorporateMail: on every window whose "Incoming_Mail" no fetch is writing.
    int incorporateNewMail();

    // The main thread's handler of the fetch port.
    void handleMsg(const PortMessage& message);

    // Test seams and settings not kept in the defaults.
    void setClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }
    void setFetchProgram(std::string path);
    void setRsh(std::string path);
    Context context() const;
    void updateContext(const std::function<void(Context&)>& change);
    int incorporations() const { return m_incorporations; }

  private:
    struct ThreadMessage {
        int msgid;
        bool beep;
    };
    // Registers the fetch port name and watches the port.
    bool checkInPort();
    void pollMail();
    void post(int msgid, bool beep);
    void checkMail(bool userAsked);
    bool mailWaiting(const Context& c) const;
    bool fetchServiceFound(Context& c);
    void forceLocal(Context& c);
    void startFetch(Context& c);
    void toMain(int msgid, std::int32_t value = 0, std::int32_t error = 0);
    void handleDone(std::int32_t code, std::int32_t error);
    void incorporate(std::int32_t code, std::int32_t error);
    bool activeWindowShown();
    void watchRemoteOutput(int fd);
    void readRemoteOutput(int fd);
    void readFetchPort();

    Hooks m_hooks;
    MailContext m_services;
    ProcessLauncher& m_launcher;
    mutable std::mutex m_mutex;
    Context m_context;
    std::condition_variable m_wake;
    std::deque<ThreadMessage> m_queue;
    bool m_stopping = false;
    std::thread m_thread;
    std::function<std::time_t()> m_clock;
    UniqueFd m_port;
    RunLoop::Id m_portWatch = 0;
    RunLoop::Id m_checkTimer = 0;
    bool m_checkPending = false;
    int m_depth = 0;
    bool m_pending = false;
    int m_incorporations = 0;
    std::string m_remoteLines;
    std::shared_ptr<std::atomic<bool>> m_alive;
};

}  // namespace quill

// MailDriver: the application object. It starts the program (temporary
// directory, helper programs, the mailbox directory), keeps the open mailbox
// and compose windows, opens mailboxes by path, announces new mail on the
// application icon, loads add-on modules and shuts down in order, also when
// termination signals arrive.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ApplicationShell.h"
#include "app/ComposeController.h"
#include "reader/MailWindowController.h"
#include "reader/NewMailNotice.h"
#include "store/MailContext.h"

namespace quill {
class ChildWatch;
class MailPoller;
class MimeFetcher;
class ProcessLauncher;
}  // namespace quill

namespace quill {

class MailDriver : public NewMailNotice {
  public:
    static MailDriver& shared();

    void setShell(ApplicationShell* shell) { m_shell = shell; }
    // What the application hands its mailboxes and windows: the user's
    // settings, the installed panels and run loop, failures as alerts.
    MailContext mailContext() const;
    // The launcher the driver starts programs with and hands down, and the
    // watch that collects deliveries; until set, the shared launcher and no watch.
    void setProcesses(ProcessLauncher& launcher, ChildWatch& watch);
    ProcessLauncher& launcher();
    // Where the per-user temporary directory is made ("/tmp"; tests use their own).
    void setTemporaryRoot(std::string root) { m_tmpRoot = std::move(root); }
    // Time between frames of the new-mail animation.
    void setFrameInterval(std::chrono::milliseconds interval) { m_frameInterval = interval; }

    // Start-up steps that need no window: the file-creation mask, the
    // temporary directory, helper programs and the mailbox directory. False
    // when the user chose to quit.
    bool startUp();
    // "/tmp/<login>" when it is ours with mode exactly 0700, else a fresh unique one.
    std::string makeTemporaryDirectory();
    // Enters the "MailDir" directory, asking for another while it cannot be used.
    bool checkMailDirectory();
    const std::string& workingDir() const { return m_workingDir; }
    const std::string& tempDir() const { return m_tempDir; }

    struct HelperPrograms {
        std::string uuencoder, tar, compress, uncompress;
    };
    const HelperPrograms& helperPrograms() const { return m_helpers; }

    // Windows.
    void addMailWindow(std::shared_ptr<MailWindowController> window);
    void removeMailWindow(const MailWindowController* window);
    void addComposeWindow(std::shared_ptr<ComposeController> window);
    void removeComposeWindow(const ComposeController* window);
    // The window showing path (relative paths are taken from the working directory).
    MailWindowController* findToc(const std::string& path, bool order);
    std::string fullMailboxPath(const std::string& path) const;
    // application:openFile: an external body (".external-body") is fetched,
    // any other path opened as a mailbox.
    bool openFile(const std::string& path);
    // The one fetcher of external bodies, made on first use after the
    // temporary directory; its logins last as long as the program.
    MimeFetcher& mimeFetcher();
    MailWindowController* openMbox(const std::string& path);
    const std::string& lastOpenedMailbox() const { return m_lastOpened; }
    // The window of the "ActiveMailbox", when one is open.
    MailWindowController* activeMailboxWindow();

    // New mail on the icon.
    void newMailMsg();
    void notifyToc() override;
    void updateNewMessageCount() override;
    void postNewMail();
    bool hasNewMail() const override { return m_newMail; }
    void clearNewMail() override { m_newMail = false; }
    bool animating() const { return m_animationFrame >= 0; }
    int spoolCount() const;
    // Messages in a spool file: "From " lines that open the file or follow an empty line.
    static int countSpoolMessages(const std::string& spoolPath);

    // New mail from the spool: the polling thread and its fetch program.
    void startPolling();
    void stopPolling();
    MailPoller* poller() { return m_poller.get(); }
    // checkNewMail:beep: for the active mailbox ("Check for New Mail"). A
    // check with beep is the user's: its outcome goes to the status line.
    void checkNewMail(bool beep) override;
    // Tells the active mailbox's window what the user's check came to.
    void reportCheck(const std::string& text);
    void initialCheck();
    // The fetch program's progress on the icon, and its end.
    void incomingMail(int count);
    void incomingDone();

    // Finishing the launch: opens the active mailbox unless a mailbox is open
    // already; a refused mailbox leaves the program running. Started at
    // log-in, the application hides instead and opens it when shown again.
    void applicationDidFinishLaunching();
    void applicationDidUnhide();
    bool hiddenAtLaunch() const { return m_hiddenAtLaunch; }

    // Add-on modules: "<dir>/<name>.bundle/<library>.so" with the entry point
    // `quillRegisterBundle(quill::MailDriver&)`. Answers how many were loaded.
    int loadBundles();
    std::vector<std::string> bundleDirectories() const;

    // Quitting.
    // Called on the main thread for every termination signal received.
    void terminationSignal(int signo);
    int signalCount() const { return m_signalCount; }
    bool anyEdits() const;
    // False when the user cancelled the quit.
    bool maybeSaveDrafts();
    void terminate();
    void terminateSafely();
    void realQuit();

    // The registry of processes whose end someone waits for; the child-exit
    // watch's by default. firstImportantPid answers -1 when none remains.
    std::function<pid_t()> firstImportantPid;
    std::function<void(pid_t, int)> forgetImportantPid;
    // Runs when the quit has finished everything else; saves the address book.
    std::function<void()> beforeWindowsClose = [] {};
    // How the last stage leaves the program (tests replace it).
    std::function<void(int)> exitProcess;
    // How a check reaches the polling thread (tests record it instead).
    std::function<void(const std::string& mailbox, bool beep)> requestCheck;

    // Forgets all state; for tests.
    void reset();

  private:
    MailDriver();
    ~MailDriver();
    void installDefaultHooks();
    void paintNextFrame();
    void runTerminationStage(int stage, int signo);
    void savePrivateAliases();

    ApplicationShell* m_shell = nullptr;
    ProcessLauncher* m_launcher = nullptr;
    ChildWatch* m_watch = nullptr;
    std::unique_ptr<MailPoller> m_poller;
    std::unique_ptr<MimeFetcher> m_fetcher;
    std::string m_tmpRoot = "/tmp";
    std::string m_tempDir;
    std::string m_workingDir;
    std::string m_lastOpened;
    HelperPrograms m_helpers;
    std::vector<std::shared_ptr<MailWindowController>> m_mailWindows;
    std::vector<std::shared_ptr<ComposeController>> m_composeWindows;
    bool m_newMail = false;
    int m_animationFrame = -1;
    std::chrono::milliseconds m_frameInterval{500};
    bool m_soundFailureShown = false;
    int m_signalCount = 0;
    int m_stageDone = 0;
    bool m_quitting = false;
    bool m_hiddenAtLaunch = false;
    bool m_userCheck = false;
};

}  // namespace quill

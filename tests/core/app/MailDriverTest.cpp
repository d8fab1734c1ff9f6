// The application driver: start-up checks, opening mailboxes, new-mail
// announcements, add-on modules and the quit sequence.
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include "addressbook/Alias.h"
#include "app/ApplicationWorkspace.h"
#include "app/MailDriver.h"
#include "platform/PollRunLoop.h"
#include "platform/RunLoop.h"
#include "platform/resources.h"
#include "process/ProcessLauncher.h"
#include "settings/Defaults.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;
using ::testing::ElementsAre;

struct FakeWindow : MailWindowController {
    explicit FakeWindow(std::string p) : path(std::move(p)) {}
    std::string mailboxPath() const override { return path; }
    void orderFront() override { ++fronted; }
    void haveNewMail() override { ++told; }
    int newMessageCount() const override { return unread; }
    void closeWindow() override { closed = true; }
    void showCheckResult(const std::string& text) override { checkResults.push_back(text); }
    std::string path;
    std::vector<std::string> checkResults;
    int fronted = 0, told = 0, unread = 0;
    bool closed = false;
};

struct FakeCompose : ComposeController {
    bool hasEdits() const override { return edits; }
    std::string subject() const override { return title; }
    void orderFront() override {}
    void saveDraft() override {
        ++saves;
        edits = false;
        if (onSave) onSave();
    }
    bool edits = true;
    std::string title;
    int saves = 0;
    std::function<void()> onSave;
};

struct FakeShell : ApplicationShell {
    void setIconFrame(int frame) override { frames.push_back(frame); }
    bool canShowIconText() const override { return true; }
    void setIconText(const std::string& text) override { iconText = text; }
    bool playSound(const std::string&) override { return soundWorks; }
    std::shared_ptr<MailWindowController> openMailboxWindow(const std::string& path) override {
        ++opened;
        if (refuse) return nullptr;  // the user cancelled the lock question
        return std::make_shared<FakeWindow>(path);
    }
    void terminateApplication() override { ++terminated; }
    bool hideApplication() override { return canHide; }
    void showLauncher() override { ++launchers; }
    bool refuse = false, canHide = true;
    int launchers = 0;
    std::vector<int> frames;
    std::string iconText;
    bool soundWorks = true;
    int opened = 0, terminated = 0;
};

class MailDriverTest : public QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        char buf[4096];
        m_cwd = ::getcwd(buf, sizeof buf);
        restart();
        installRunLoop(loop);
    }
    // A driver as the program starts it, over the fake shell.
    void restart() {
        driver.reset();
        driver.setShell(&shell);
        driver.setTemporaryRoot(tmp());
        driver.exitProcess = [this](int status) { exits.push_back(status); };
        driver.requestCheck = [this](const std::string& mailbox, bool beep) {
            checks.push_back(mailbox + (beep ? " with beep" : " without beep"));
        };
    }
    void TearDown() override {
        driver.reset();
        installRunLoop(nullptr);
        ASSERT_EQ(::chdir(m_cwd.c_str()), 0);
        QuillTest::TearDown();
    }

    MailDriver& driver = MailDriver::shared();
    FakeShell shell;
    std::shared_ptr<PollRunLoop> loop = std::make_shared<PollRunLoop>();
    std::vector<int> exits;
    std::vector<std::string> checks;

  private:
    std::string m_cwd;
};

TEST_F(MailDriverTest, TemporaryDirectoryIsReusedOnlyWhenPrivate) {
    std::string mine = tmp() + "/tester";
    ASSERT_EQ(::mkdir(mine.c_str(), 0700), 0);
    EXPECT_EQ(driver.makeTemporaryDirectory(), mine);

    ASSERT_EQ(::chmod(mine.c_str(), 0755), 0);
    std::string fresh = driver.makeTemporaryDirectory();
    EXPECT_EQ(fresh.rfind(mine + "-" + std::to_string(::getpid()) + "-", 0), 0u) << fresh;
    struct stat st;
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}

TEST_F(MailDriverTest, AnInvalidMailDirectoryAsksForAnotherOrQuits) {
    store->set("MailDir", tmp() + "/nowhere");
    Defaults::shared().setStore(store);
    panels->answer("Select Another");
    panels->queueOpenPanelAnswer({mailDir()});
    ASSERT_TRUE(driver.checkMailDirectory());
    EXPECT_EQ(panels->alerts()[0].message,
              "The mailboxes directory " + tmp() + "/nowhere is invalid.");
    EXPECT_EQ(*store->get("MailDir"), mailDir());
    EXPECT_EQ(driver.workingDir(), mailDir());

    store->set("MailDir", tmp() + "/nowhere");
    Defaults::shared().setStore(store);
    panels->answer("Quit");
    EXPECT_FALSE(driver.checkMailDirectory());
    panels->answer("Select Another");  // then cancels the open panel
    EXPECT_FALSE(driver.checkMailDirectory());
}

TEST_F(MailDriverTest, TheDefaultMailDirectoryIsCreatedPrivately) {
    store->remove("MailDir");
    Defaults::shared().setStore(store);
    ASSERT_TRUE(driver.checkMailDirectory());
    struct stat st;
    ASSERT_EQ(::stat((home() + "/tessel/Mailboxes").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(MailDriverTest, OpeningAShownMailboxBringsItsWindowForward) {
    ASSERT_TRUE(driver.checkMailDirectory());
    ASSERT_TRUE(driver.openFile("Active.mbox"));
    EXPECT_EQ(shell.opened, 1);
    EXPECT_EQ(driver.lastOpenedMailbox(), "Active.mbox");
    ASSERT_TRUE(driver.openFile(mailDir() + "/Active.mbox"));
    EXPECT_EQ(shell.opened, 1);
    driver.addMailWindow(std::make_shared<FakeWindow>(mailDir() + "/Lists.mbox"));
    ASSERT_TRUE(driver.openFile(mailDir() + "/Lists.mbox"));
    ASSERT_TRUE(driver.openFile("Lists.mbox"));
    EXPECT_EQ(shell.opened, 1);
    EXPECT_EQ(static_cast<FakeWindow*>(driver.findToc("Lists.mbox", false))->fronted, 2);
    EXPECT_FALSE(driver.openFile("note.vox"));
}

struct DesktopWorkspace : Workspace {
    std::vector<std::string> opened;
    bool openFile(const std::string& path) override {
        opened.push_back(path);
        return false;
    }
};

// An external-body icon opens as any attachment does and reaches the fetcher's question.
TEST_F(MailDriverTest, AnExternalBodyGoesToTheFetcherAndOtherFilesToTheDesktop) {
    auto desktop = std::make_shared<DesktopWorkspace>();
    ApplicationWorkspace workspace(
        desktop, [this](const std::string& path) { return driver.openFile(path); });
    std::string part = writeFile("mime-attachment.external-body",
                                 "Content-Type: message/external-body; access-type=anon-ftp; "
                                 "site=ftp.example.org; name=a.ps\n\n\n");
    panels->answer(1);
    EXPECT_TRUE(workspace.openFile(part));
    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].message.rfind("This is an external MIME attachment", 0), 0u);
    EXPECT_FALSE(workspace.openFile(tmp() + "/slides.pdf"));
    EXPECT_THAT(desktop->opened, ElementsAre(tmp() + "/slides.pdf"));
    EXPECT_EQ(shell.opened, 0);
}

TEST_F(MailDriverTest, AMailboxRefusedAtLaunchLeavesTheProgramRunning) {
    shell.refuse = true;
    driver.applicationDidFinishLaunching();
    EXPECT_EQ(shell.opened, 1);
    EXPECT_EQ(shell.terminated, 0);
    EXPECT_TRUE(exits.empty());
    EXPECT_EQ(shell.launchers, 1);
}

TEST_F(MailDriverTest, StartedAtLogInTheActiveMailboxOpensOnlyWhenShown) {
    struct Case {
        const char* name;
        bool hideOnAutoLaunch, autoLaunched, canHide;
        int openedAtLaunch;
    };
    const Case cases[] = {
        {"an ordinary start opens it", false, true, true, 1},
        {"log-in start hides", true, true, true, 0},
        {"log-in start where hiding is impossible opens it", true, true, false, 1},
        {"hiding wanted but not started at log-in opens it", true, false, true, 1},
    };
    for (const Case& c : cases) {
        shell = FakeShell();
        restart();
        shell.canHide = c.canHide;
        checks.clear();
        Defaults::shared().setHideOnAutoLaunch(c.hideOnAutoLaunch);
        Defaults::shared().setAutoLaunch(c.autoLaunched);
        driver.applicationDidFinishLaunching();
        EXPECT_EQ(shell.opened, c.openedAtLaunch) << c.name;
        EXPECT_EQ(driver.hiddenAtLaunch(), c.openedAtLaunch == 0) << c.name;
        driver.applicationDidUnhide();
        EXPECT_EQ(shell.opened, 1) << c.name;
        std::vector<std::string> wanted;
        if (c.openedAtLaunch == 0) wanted.push_back("Active.mbox without beep");
        EXPECT_EQ(checks, wanted) << c.name;
    }
}

TEST_F(MailDriverTest, TheUsersCheckIsReportedToTheActiveMailboxWindow) {
    driver.applicationDidFinishLaunching();
    auto* active = dynamic_cast<FakeWindow*>(driver.activeMailboxWindow());
    ASSERT_NE(active, nullptr);
    driver.checkNewMail(true);
    EXPECT_THAT(checks, ElementsAre("Active.mbox with beep"));
    EXPECT_THAT(active->checkResults, ElementsAre("Checking for new mail..."));
    driver.checkNewMail(false);
    EXPECT_EQ(active->checkResults.size(), 1u);
}

TEST_F(MailDriverTest, SpoolCountTakesFromLinesAfterBlankLinesOnly) {
    std::string spool = writeFile("spool/tester",
                                  "From a@b Mon Jan  1 00:00:00 2024\nSubject: one\n\nbody\n"
                                  "From inside the body\n\n"
                                  "From c@d Mon Jan  1 00:00:01 2024\nSubject: two\n\nx\n");
    EXPECT_EQ(MailDriver::countSpoolMessages(spool), 2);
    EXPECT_EQ(MailDriver::countSpoolMessages(tmp() + "/spool/missing"), 0);
    std::string longLine(600, 'x');
    std::string tricky = writeFile("t", "\n" + longLine + "From hidden\n");
    EXPECT_EQ(MailDriver::countSpoolMessages(tricky), 0);
}

TEST_F(MailDriverTest, NewMailIsAnnouncedOnceAndCounted) {
    ASSERT_TRUE(driver.checkMailDirectory());
    auto active = std::make_shared<FakeWindow>(mailDir() + "/Active.mbox");
    active->unread = 3;
    driver.addMailWindow(active);
    driver.setFrameInterval(std::chrono::milliseconds(1));
    store->set("AutoFetch", "NO");
    Defaults::shared().setStore(store);
    writeFile("spool/tester", "From x\n\nbody\n");

    driver.newMailMsg();
    EXPECT_EQ(active->told, 1);
    EXPECT_EQ(shell.iconText, "4");
    driver.newMailMsg();
    EXPECT_EQ(active->told, 1);
    loop->runUntil([&] { return !driver.animating(); }, std::chrono::seconds(2));
    std::vector<int> painted(shell.frames.begin() + 1, shell.frames.end());
    EXPECT_THAT(painted, ElementsAre(0, 1, 2, 1, 0, 1, 2, 1, 0, 1, 2, 1, 0, 1, 2));

    store->set("ShowIconCount", "NO");
    Defaults::shared().setStore(store);
    driver.updateNewMessageCount();
    EXPECT_EQ(shell.iconText, "");
}

TEST_F(MailDriverTest, AnUnplayableSoundIsReportedOncePerRun) {
    store->set("MailSound", "/no/such.au");
    Defaults::shared().setStore(store);
    shell.soundWorks = false;
    panels->answer(0);
    driver.postNewMail();
    driver.postNewMail();
    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].message,
              "Could not play sound file /no/such.au.  Please reset the new mail sound in the "
              "Preference panel.");
}

TEST_F(MailDriverTest, BundlesAreSkippedWhenDisabledAndBrokenOnesReported) {
    store->set("LoadBundles", "NO");
    Defaults::shared().setStore(store);
    EXPECT_EQ(driver.loadBundles(), 0);
    EXPECT_THAT(logLines, ElementsAre("[Quill: Bundle loading disabled]\n"));

    store->set("LoadBundles", "YES");
    Defaults::shared().setStore(store);
    writeFile("home/Library/Quill/Broken.bundle/Broken.so", "not a library");
    logLines.clear();
    EXPECT_EQ(driver.loadBundles(), 0);
    EXPECT_THAT(logLines, ElementsAre("*** Could not load Quill module " + home() +
                                      "/Library/Quill/Broken.bundle\n"));
}

TEST_F(MailDriverTest, UnsentComposeWindowsAreReviewedBeforeQuitting) {
    auto a = std::make_shared<FakeCompose>();
    a->title = "Lunch";
    auto b = std::make_shared<FakeCompose>();
    driver.addComposeWindow(a);
    driver.addComposeWindow(b);
    panels->answer("Cancel");
    EXPECT_FALSE(driver.maybeSaveDrafts());
    panels->answer("Review Unsent");
    panels->answer("Save");
    panels->answer("Don't Save");
    EXPECT_TRUE(driver.maybeSaveDrafts());
    EXPECT_EQ(panels->alerts()[2].message, "Save draft entitled \"Lunch\"?");
    EXPECT_EQ(panels->alerts()[3].message, "Save untitled draft?");
    EXPECT_EQ(a->saves, 1);
    EXPECT_EQ(b->saves, 0);
    panels->answer("Quit Anyway");
    EXPECT_TRUE(driver.maybeSaveDrafts());
}

TEST_F(MailDriverTest, SignalsEscalateFromAutosaveToCleanQuitToFastExit) {
    auto window = std::make_shared<FakeWindow>("/m/Active.mbox");
    driver.addMailWindow(window);
    auto draft = std::make_shared<FakeCompose>();
    draft->onSave = [&] { driver.terminationSignal(15); };  // a second signal mid-autosave
    driver.addComposeWindow(draft);

    driver.terminationSignal(15);
    EXPECT_THAT(logLines, ElementsAre("Caught signal #15; terminating safely\n",
                                      "[Quill: Autosaving drafts...]\n",
                                      "Recaught signal #15; quitting cleanly\n"));
    EXPECT_TRUE(window->closed);
    EXPECT_EQ(shell.terminated, 1);
    EXPECT_TRUE(exits.empty());
    driver.terminationSignal(15);  // the platform did not end the program: a third exits
    EXPECT_EQ(logLines.back(), "Recaught signal #15; exiting fast\n");
    EXPECT_THAT(exits, ElementsAre(1));
    driver.terminationSignal(15);  // a fourth is ignored
    EXPECT_EQ(exits.size(), 1u);
}

TEST_F(MailDriverTest, QuitWaitsForADeliveryStillRunning) {
    LaunchRequest request;
    request.argv = {"sleep", "0.3"};
    pid_t child = processLauncher().launch(request).pid;
    std::vector<std::pair<pid_t, int>> forgotten;
    bool pending = true;
    driver.firstImportantPid = [&] { return pending ? child : pid_t(-1); };
    driver.forgetImportantPid = [&](pid_t pid, int status) {
        forgotten.emplace_back(pid, status);
        pending = false;
    };
    driver.realQuit();
    EXPECT_THAT(forgotten, ElementsAre(std::make_pair(child, 0)));
    EXPECT_EQ(shell.terminated, 1);
}

TEST_F(MailDriverTest, QuitSavesChangedPrivateEntries) {
    Alias::resetShared();
    AliasSources sources;
    sources.privateFile = tmp() + "/mailalias";
    Alias::shared().forkedInitialize(sources);
    Alias::shared().initialize();
    ASSERT_TRUE(Alias::shared().privateAliases().addPrivateName("Ann <ann@example.com>"));
    driver.realQuit();
    EXPECT_NE(test::slurp(sources.privateFile).find("ann@example.com"), std::string::npos);
    Alias::resetShared();
}

TEST(ResourcesTest, ShortNamesDropTheFolderAndExtension) {
    EXPECT_EQ(getShortName("/home/u/Mail/Lists/quill.mbox"), "quill");
    EXPECT_EQ(getShortName("Active.mbox"), "Active");
    EXPECT_EQ(resolveHelperProgram("/usr/bin/compress"), "/usr/bin/compress");
    EXPECT_NE(resolveHelperProgram("safetar").find("/safetar"), std::string::npos);
}

}  // namespace
}  // namespace quill

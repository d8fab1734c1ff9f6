// The polling thread and the main thread's handling of the fetch port: when a
// fetch starts, what is only announced or beeped, and how completions lead to
// incorporation.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "NewMailTest.h"
#include "newmail/Incorporation.h"
#include "newmail/MailPoller.h"
#include "newmail/SpoolFetcher.h"
#include "platform/NameService.h"
#include "platform/RunLoop.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"

namespace quill::test {
namespace {

using namespace std::chrono_literals;

class PollerTest : public NewMailTest {
  protected:
    void SetUp() override {
        NewMailTest::SetUp();
        fakeFetch = writeFile("fakefetch", "#!/bin/sh\necho \"$@\" >> " + tmp() + "/fetches\n");
        ::chmod(fakeFetch.c_str(), 0755);
        store->set("MailDir", mailDir());
    }
    void TearDown() override {
        poller.reset();
        NewMailTest::TearDown();
    }

    // A poller with counting hooks, set up as start-up does.
    void makePoller(const std::string& program) {
        MailPoller::Hooks hooks;
        hooks.newMailMsg = [this] { ++announced; };
        hooks.beep = [this] { ++beeps; };
        hooks.noNewMail = [this] { ++nothingFound; };
        hooks.fetchBusy = [this] { ++stillFetching; };
        hooks.fetchFailed = [this](const std::string& why) { failures.push_back(why); };
        hooks.fileFailed = [this](const Status& status) { tellUser(*panels, status); };
        hooks.incomingMail = [this](int count) { progress = count; };
        hooks.incorporateActive = [this] {
            ++incorporated;
            if (onIncorporate) onIncorporate();
        };
        hooks.activeWindowShown = [this] { return windowShown; };
        poller = std::make_unique<MailPoller>(hooks, mailContext(), processLauncher());
        poller->initMailInfo();
        poller->setFetchProgram(program);
        poller->setClock([this] { return now.load(); });
        poller->start();
    }
    // The active mailbox, which each incorporation takes the fetched mail into.
    std::shared_ptr<MailBox> openActiveMailbox() {
        std::shared_ptr<MailBox> box = MailBox::newMailBox(activeDir(), mailContext());
        onIncorporate = [weak = std::weak_ptr<MailBox>(box)] {
            bool atStart = false;
            if (auto open = weak.lock()) Incorporation::incorporateMailAtStart(*open, &atStart);
        };
        return box;
    }
    int fetches() const {
        std::string log = slurp(tmp() + "/fetches");
        return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
    }
    // Serves the run loop until done() holds; files are looked at every few milliseconds.
    bool serveUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 2000 && !done(); ++i) runLoop().runUntil(done, 10ms);
        return done();
    }
    // Lets the thread finish what was posted: a beep-only check goes last.
    void drain() {
        int before = beeps;
        spit(tmp() + "/empty", "");
        poller->updateContext([this](MailPoller::Context& c) { c.spoolFile = tmp() + "/empty"; });
        poller->checkNewMail("", true);
        ASSERT_TRUE(serveUntil([&] { return beeps > before; }));
        poller->updateContext([this](MailPoller::Context& c) { c.spoolFile = spool(); });
    }

    std::string fakeFetch;
    std::unique_ptr<MailPoller> poller;
    std::atomic<std::time_t> now{1000000};
    int nothingFound = 0, stillFetching = 0;
    std::vector<std::string> failures;
    int announced = 0, beeps = 0, progress = -1, incorporated = 0;
    bool windowShown = true;
    std::function<void()> onIncorporate;
};

TEST_F(PollerTest, TwoChecksWithinTwentySecondsStartOneFetch) {
    deliver(0, 1);
    makePoller(fakeFetch);
    poller->checkNewMail("", true);
    ASSERT_TRUE(serveUntil([&] { return fetches() == 1; }));
    now += 19;
    poller->checkNewMail("", true);
    ASSERT_TRUE(serveUntil([&] { return beeps == 1; }));
    EXPECT_EQ(stillFetching, 1);
    EXPECT_EQ(nothingFound, 0);
    EXPECT_EQ(fetches(), 1);
    EXPECT_EQ(slurp(tmp() + "/fetches"),
              spool() + " tester  " + poller->context().fetchPortName + "\n");
    // A fetch that never said it started is forgotten after 20 seconds.
    now += 1;
    poller->checkNewMail("", false);
    ASSERT_TRUE(serveUntil([&] { return fetches() == 2; }));
}

TEST_F(PollerTest, WithoutAutoFetchNewMailIsOnlyAnnouncedUntilAskedFor) {
    store->set("AutoFetch", "NO");
    deliver(0, 1);
    makePoller(fakeFetch);
    poller->checkNewMail("", false);
    ASSERT_TRUE(serveUntil([&] { return announced == 1; }));
    EXPECT_EQ(fetches(), 0);
    poller->checkNewMail("", true);
    ASSERT_TRUE(serveUntil([&] { return fetches() == 1; }));
    EXPECT_EQ(beeps, 0);
}

TEST_F(PollerTest, NothingWaitingGivesABeepOnlyWhenAsked) {
    makePoller(fakeFetch);
    poller->checkNewMail("", false);
    poller->checkNewMail("", true);
    ASSERT_TRUE(serveUntil([&] { return beeps == 1; }));
    EXPECT_EQ(nothingFound, 1);
    EXPECT_EQ(announced, 0);
    EXPECT_EQ(fetches(), 0);
}

TEST_F(PollerTest, WithoutAWindowForTheActiveMailboxMailIsOnlyAnnounced) {
    windowShown = false;
    deliver(0, 1);
    makePoller(fakeFetch);
    poller->quickCheck();
    ASSERT_TRUE(serveUntil([&] { return announced == 1; }));
    drain();
    EXPECT_EQ(fetches(), 0);
}

TEST_F(PollerTest, ACompletionDuringIncorporationGivesExactlyOneMore) {
    makePoller(fakeFetch);
    PortMessage done{kFetchDoneMsg, NameService::words(0, 0)};
    onIncorporate = [&] {
        if (incorporated > 1) return;
        // Two completions arrive while the first is handled (an alert was up).
        poller->handleMsg(done);
        poller->handleMsg(done);
    };
    poller->handleMsg(done);
    EXPECT_EQ(incorporated, 2);
    EXPECT_EQ(announced, 2);
    onIncorporate = nullptr;
    poller->handleMsg(done);
    EXPECT_EQ(incorporated, 3);
}

TEST_F(PollerTest, AFailedFetchReportsTheFileErrorOnTheActiveMailbox) {
    makePoller(fakeFetch);
    panels->answer(0);
    poller->handleMsg({kFetchDoneMsg, NameService::words(kFetchIncomingWrite, ENOSPC)});
    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].title, "File system error");
    EXPECT_NE(panels->alerts()[0].message.find("Active.mbox"), std::string::npos);
    EXPECT_EQ(failures, std::vector<std::string>{std::strerror(ENOSPC)});
    // Codes outside the file-error list are not shown.
    poller->handleMsg({kFetchDoneMsg, NameService::words(3, 0)});
    EXPECT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(incorporated, 0);
}

// The poller reads the settings it is handed, not the program's own.
TEST_F(PollerTest, SettingsComeFromTheHandedContext) {
    auto ownStore = std::make_shared<MemoryDefaultsStore>();
    ownStore->set("MailDir", tmp() + "/elsewhere");
    ownStore->set("AutoFetch", "NO");
    Defaults own;
    own.setStore(ownStore);
    MailPoller other({}, MailContext{own, *panels, runLoop(), nullptr, nullptr}, processLauncher());
    other.initMailInfo();
    EXPECT_EQ(other.context().mailDir, tmp() + "/elsewhere");
    EXPECT_FALSE(other.context().autoFetch);
}

// The whole road: the thread starts the real fetch program, whose reports come
// back on the registered port, and the completion incorporates.
TEST_F(PollerTest, FetchedMailReachesTheActiveMailbox) {
    auto box = openActiveMailbox();
    ASSERT_TRUE(box);
    deliver(0, 4);
    makePoller(fetchProgram());
    ASSERT_TRUE(poller->bootCheckIn());
    poller->checkNewMail("", false);
    ASSERT_TRUE(serveUntil([&] { return announced == 1; }));
    EXPECT_EQ(incorporated, 1);
    EXPECT_EQ(progress, 4);
    EXPECT_EQ(box->toc().length(), 4u);
    EXPECT_EQ(poller->context().fetchPid, -1);
}

// Re-registering the fetch port for a local fetch says which step failed.
TEST_F(PollerTest, PortRegistrationFailuresArePrinted) {
    makePoller(fakeFetch);
    ASSERT_TRUE(poller->bootCheckIn());
    std::string runtime = std::getenv("XDG_RUNTIME_DIR");
    ::setenv("XDG_RUNTIME_DIR", writeFile("not-a-directory", "").c_str(), 1);
    poller->recheckinLocal();
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EXPECT_EQ(logLines, (std::vector<std::string>{"Quill: could not checkout port\n",
                                                  "Quill: could not checkin port\n"}));
    logLines.clear();
    poller->recheckinLocal();
    EXPECT_TRUE(logLines.empty());
}

// With the default "MailDir" ("~/tessel/Mailboxes") the fetch program runs
// in the active mailbox under the home directory, not in a path with a "~".
TEST_F(PollerTest, DefaultMailDirectoryIsExpandedForTheFetch) {
    store->remove("MailDir");
    std::string active = home() + "/tessel/Mailboxes/Active.mbox";
    ::mkdir((home() + "/tessel").c_str(), 0700);
    ::mkdir((home() + "/tessel/Mailboxes").c_str(), 0700);
    ASSERT_TRUE(makeMailbox(active).ok());
    std::string pwdFetch = writeFile("pwdfetch", "#!/bin/sh\npwd >> " + tmp() + "/fetchdirs\n");
    ::chmod(pwdFetch.c_str(), 0755);
    deliver(0, 1);
    makePoller(pwdFetch);
    EXPECT_EQ(poller->context().mailDir, home() + "/tessel/Mailboxes");
    poller->checkNewMail("", false);
    ASSERT_TRUE(serveUntil([&] { return !slurp(tmp() + "/fetchdirs").empty(); }));
    EXPECT_EQ(slurp(tmp() + "/fetchdirs"), active + "\n");
}

// "RemoteFetch" runs the fetch program through the remote shell, whose
// output carries the reports back.
TEST_F(PollerTest, RemoteFetchReportsOverTheRemoteShell) {
    std::string rsh = writeFile("rsh", "#!/bin/sh\nshift\nexec /bin/sh -c \"$*\"\n");
    ::chmod(rsh.c_str(), 0755);
    store->set("RemoteFetch", std::string("otherhost:") + QUILL_BIN_DIR);
    auto box = openActiveMailbox();
    ASSERT_TRUE(box);
    deliver(0, 2);
    makePoller(fetchProgram());
    poller->setRsh(rsh);
    ASSERT_TRUE(poller->context().remote);
    poller->checkNewMail("", false);
    ASSERT_TRUE(serveUntil([&] { return announced == 1; }));
    EXPECT_EQ(box->toc().length(), 2u);
}

}  // namespace
}  // namespace quill::test

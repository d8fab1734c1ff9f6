#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <thread>

#include "core/process/ProcessTesting.h"
#include "process/PipeHandler.h"
#include "process/RunCommand.h"
#include "process/programs.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::serveUntil;

class ChildWatchTest : public test::QuillTest {
  protected:
    pid_t startShell(const std::string& command) { return test::startShell(launcher(), command); }
    // Registers a delivery child whose status lands in `reported`.
    void remember(pid_t pid) {
        watch().rememberImportantPid(pid, [this, pid](int status) { reported[pid] = status; });
    }
    bool allReported() {
        return serveUntil([this] { return watch().firstImportantPid() == -1; });
    }
    ChildWatch& watch() { return m_real.watch; }
    ProcessLauncher& launcher() { return m_real.launcher; }

    std::map<pid_t, int> reported;

  private:
    test::RealLauncher m_real;
};

TEST_F(ChildWatchTest, EachDeliveryIsReportedToItsOwnWindow) {
    watch().start();
    pid_t slow =
        startShell("while [ ! -e " + shellQuote(tmp() + "/go") + " ]; do sleep 0.01; done; exit 3");
    pid_t fast = startShell("exit 5");
    remember(slow);
    remember(fast);
    ASSERT_TRUE(serveUntil([&] { return reported.count(fast) == 1; }));
    EXPECT_EQ(watch().firstImportantPid(), slow);
    test::spit(tmp() + "/go", "");
    ASSERT_TRUE(allReported());
    EXPECT_EQ(WEXITSTATUS(reported[slow]), 3);
    EXPECT_EQ(WEXITSTATUS(reported[fast]), 5);
}

TEST_F(ChildWatchTest, ChildrenThatEndedBeforeTheWatchAreCollectedWhenItStarts) {
    pid_t early = startShell("exit 9");
    ASSERT_TRUE(serveUntil([&] { return test::processState(early) == 'Z'; }));
    remember(early);
    watch().start();
    ASSERT_TRUE(allReported());
    EXPECT_EQ(WEXITSTATUS(reported[early]), 9);
}

TEST_F(ChildWatchTest, OnlyWatchedChildrenAreCollected) {
    watch().start();
    pid_t own = startShell("exit 1");
    launcher().watchExit(startShell("exit 0"), nullptr);  // nobody to tell
    pid_t delivery = startShell("exit 2");
    remember(delivery);
    ASSERT_TRUE(allReported());
    ASSERT_TRUE(serveUntil([&] { return test::processState(own) == 'Z'; }));
    EXPECT_EQ(launcher().wait(own), 1 << 8);
    EXPECT_EQ(reported.size(), 1u);
}

TEST_F(ChildWatchTest, ADeliveryWaitedForElsewhereStaysUntilItsWindowIsTold) {
    pid_t delivery = startShell("exit 6");
    remember(delivery);
    EXPECT_EQ(launcher().wait(delivery), 6 << 8);  // as the quit collects it
    EXPECT_EQ(watch().firstImportantPid(), delivery);
    watch().forgetImportantPid(delivery, 0);
    EXPECT_EQ(reported, (std::map<pid_t, int>{{delivery, 0}}));
    EXPECT_EQ(watch().firstImportantPid(), -1);
}

// Many children of a second thread end while the watch collects the main
// thread's: the thread's synchronous waits must see every status of its own.
TEST_F(ChildWatchTest, AThreadsSynchronousWaitsKeepTheirStatusWhileTheWatchReaps) {
    watch().start();
    constexpr int kRounds = 150;
    std::atomic<int> wrong{0}, done{0};
    std::thread waiter([&] {
        for (int i = 0; i < kRounds; ++i) {
            int code = i % 50 + 1;
            pid_t pid = startShell("exit " + std::to_string(code));
            if (launcher().wait(pid) != code << 8) ++wrong;
        }
        done = 1;
    });
    int started = 1, watched = 0;
    std::function<void(int)> again = [&](int) {
        ++watched;
        if (done) return;
        ++started;
        launcher().watchExit(startShell("exit 0"), again);
    };
    launcher().watchExit(startShell("exit 0"), again);
    EXPECT_TRUE(serveUntil([&] { return done == 1 && watched == started; }));
    waiter.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(watched, 1);
}

// The mailer ends strictly while a synchronous wait runs: the waiting command
// waits until the mailer is a zombie, and the mailer waits for the file the
// command makes first.
class MailerDuringSynchronousWait : public ChildWatchTest {
  protected:
    pid_t startMailer() {
        pid_t mailer = startShell("while [ ! -e " + flag() + " ]; do sleep 0.01; done; exit 7");
        remember(mailer);
        return mailer;
    }
    std::string waitingCommand(pid_t mailer) {
        // A mailer collected too early (the fault looked for) ends the wait too.
        std::string proc = "/proc/" + std::to_string(mailer);
        return "touch " + flag() + "; while [ -e " + proc + " ] && ! grep -q '^[0-9]* (.*) Z' " +
               proc + "/stat; do sleep 0.01; done";
    }
    std::string flag() { return shellQuote(tmp() + "/mailer may end"); }
};

TEST_F(MailerDuringSynchronousWait, PipelineLeavesTheMailerToTheWatch) {
    watch().start();
    pid_t mailer = startMailer();
    ByteSource in("x");
    EXPECT_EQ(RunCommand(launcher())
                  .runPipeWithInputFrom({{"cat"}, {"sh", "-c", waitingCommand(mailer)}}, in),
              0);
    ASSERT_TRUE(allReported());
    EXPECT_EQ(WEXITSTATUS(reported[mailer]), 7);
}

TEST_F(MailerDuringSynchronousWait, SystemLeavesTheMailerToTheWatch) {
    watch().start();
    pid_t mailer = startMailer();
    EXPECT_EQ(system(launcher(), waitingCommand(mailer) + "; exit 4"), 4 << 8);
    EXPECT_TRUE(watch().isStarted());
    ASSERT_TRUE(allReported());
    EXPECT_EQ(WEXITSTATUS(reported[mailer]), 7);
}

TEST_F(ChildWatchTest, PipeHandlerCallsItsFunctionFromTheRunLoop) {
    int calls = 0;
    int seenFd = -1;
    auto handler = PipeHandler::initWithFunction([&](int fd, PipeHandler&) {
        char byte;
        while (::read(fd, &byte, 1) == 1) ++calls;
        seenFd = fd;
    });
    ASSERT_NE(handler, nullptr);
    ASSERT_EQ(::write(handler->writeFd(), "ab", 2), 2);
    ASSERT_TRUE(serveUntil([&] { return calls == 2; }));
    EXPECT_EQ(seenFd, handler->readFd());
    EXPECT_NE(::fcntl(handler->writeFd(), F_GETFD) & FD_CLOEXEC, 0);
}

}  // namespace
}  // namespace quill

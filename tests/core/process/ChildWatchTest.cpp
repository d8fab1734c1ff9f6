#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "core/process/ProcessTesting.h"
#include "process/ChildWatch.h"
#include "process/PipeHandler.h"
#include "process/programs.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::serveUntil;
using test::startShell;

class ChildWatchTest : public test::QuillTest {
  protected:
    void TearDown() override {
        endChildWatch();
        while (firstImportantPid() != -1) forgetImportantPid(firstImportantPid(), 0);
        QuillTest::TearDown();
    }
    // Registers a delivery child whose status lands in `reported`.
    void remember(pid_t pid) {
        rememberImportantPid(pid, [this, pid](int status) { reported[pid] = status; });
    }
    bool allReported() {
        return serveUntil([] { return firstImportantPid() == -1; });
    }

    std::map<pid_t, int> reported;
};

TEST_F(ChildWatchTest, EachDeliveryIsReportedToItsOwnWindow) {
    setSignal();
    pid_t slow =
        startShell("while [ ! -e " + shellQuote(tmp() + "/go") + " ]; do sleep 0.01; done; exit 3");
    pid_t fast = startShell("exit 5");
    remember(slow);
    remember(fast);
    ASSERT_TRUE(serveUntil([&] { return reported.count(fast) == 1; }));
    EXPECT_EQ(firstImportantPid(), slow);
    test::spit(tmp() + "/go", "");
    ASSERT_TRUE(allReported());
    EXPECT_EQ(WEXITSTATUS(reported[slow]), 3);
    EXPECT_EQ(WEXITSTATUS(reported[fast]), 5);
}

TEST_F(ChildWatchTest, ChildrenThatEndedBeforeTheWatchAreCollectedWhenItStarts) {
    pid_t early = startShell("exit 9");
    ASSERT_TRUE(serveUntil([&] { return test::processState(early) == 'Z'; }));
    remember(early);
    setSignal();
    ASSERT_TRUE(allReported());
    EXPECT_EQ(WEXITSTATUS(reported[early]), 9);
}

TEST_F(ChildWatchTest, UnregisteredChildrenAreCollectedAndIgnored) {
    setSignal();
    pid_t receipt = startShell("exit 1");
    rememberImportantPid(startShell("exit 0"), nullptr);  // a window that wants no report
    ASSERT_TRUE(allReported());
    EXPECT_TRUE(serveUntil([&] { return test::processState(receipt) == 0; }));
    EXPECT_TRUE(reported.empty());
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
    setSignal();
    pid_t mailer = startMailer();
    ByteSource in("x");
    EXPECT_EQ(RunCommand::runPipeWithInputFrom({{"cat"}, {"sh", "-c", waitingCommand(mailer)}}, in),
              0);
    ASSERT_TRUE(allReported());
    EXPECT_EQ(WEXITSTATUS(reported[mailer]), 7);
}

TEST_F(MailerDuringSynchronousWait, SystemCallSwitchesTheWatchOffAndBackOn) {
    setSignal();
    pid_t mailer = startMailer();
    EXPECT_EQ(system(waitingCommand(mailer) + "; exit 4"), 4 << 8);
    EXPECT_TRUE(childWatchIsSet());
    ASSERT_TRUE(allReported());
    EXPECT_EQ(WEXITSTATUS(reported[mailer]), 7);

    unsetSignal();
    EXPECT_EQ(system("exit 0"), 0);
    EXPECT_FALSE(childWatchIsSet());
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

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <numeric>

#include "core/process/ProcessTesting.h"
#include "process/Subprocess.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::serveUntil;

struct Recorder : SubprocessDelegate {
    std::vector<std::string> chunks;
    int status = -1;
    bool exited = false;
    std::vector<std::string> errors;
    bool takeErrors = false;
    std::function<void()> onExit;

    void subprocessOutput(Subprocess&, const char* output) override { chunks.push_back(output); }
    void subprocessExit(Subprocess&, int s) override {
        status = s;
        exited = true;
        if (onExit) onExit();
    }
    bool subprocessError(Subprocess&, const std::string& message) override {
        errors.push_back(message);
        return takeErrors;
    }
    std::string output() const {
        return std::accumulate(chunks.begin(), chunks.end(), std::string());
    }
};

bool havePseudoTerminals() {
    int probe = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (probe >= 0) ::close(probe);
    return probe >= 0;
}

class SubprocessTest : public test::QuillTest {
  protected:
    test::RealLauncher real;
    ProcessLauncher& launcher = real.launcher;
    // Runs a command to its end and answers what the delegate saw.
    Recorder runToEnd(const std::string& command, bool pty = false) {
        Recorder r;
        auto sub = Subprocess::init(launcher, command, &r, pty, true);
        EXPECT_TRUE(serveUntil([&] { return r.exited; })) << command;
        return r;
    }
};

TEST_F(SubprocessTest, OutputArrivesInChunksOfAtMost2047Bytes) {
    Recorder r = runToEnd("head -c 5000 /dev/zero | tr '\\0' x");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output(), std::string(5000, 'x'));
    EXPECT_GE(r.chunks.size(), 3u);
    for (const auto& chunk : r.chunks) EXPECT_LE(chunk.size(), 2047u);
}

TEST_F(SubprocessTest, ExitCodeAndJoinedStandardError) {
    Recorder r = runToEnd("echo out; echo err >&2; exit 3");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.output(), "out\nerr\n");
    EXPECT_EQ(runToEnd("quill-no-such-command-here").status, 127);
}

TEST_F(SubprocessTest, SendWritesALineAndTerminateInputEndsTheInputOnce) {
    Recorder r;
    auto sub = Subprocess::init(launcher, "cat", &r, false, true);
    sub->send("quit");
    sub->sendFormat("%s=%d;", "n", 7);
    ASSERT_TRUE(serveUntil([&] { return r.output() == "quit\nn=7;"; })) << r.output();
    sub->terminateInput();
    sub->terminateInput();
    EXPECT_EQ(sub->toChild(), -1);
    ASSERT_TRUE(serveUntil([&] { return r.exited; }));
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(sub->running());
    EXPECT_TRUE(logLines.empty()) << logLines[0];
}

TEST_F(SubprocessTest, ClosedOutputWithTheCommandStillRunningIsReportedAs127) {
    Recorder r;
    auto sub = Subprocess::init(launcher, "exec >&- 2>&-; exec sleep 60", &r, false, true);
    pid_t pid = sub->childPid();
    ASSERT_TRUE(serveUntil([&] { return r.exited; }));
    EXPECT_EQ(r.status, 127);
    EXPECT_EQ(logLines, std::vector<std::string>{"child not dead when waited4 in Subprocess\n"});
    launcher.signalGroup(pid, SIGKILL);
    launcher.wait(pid);
}

TEST_F(SubprocessTest, TerminateStopsTheCommandsGroupAndNothingElse) {
    Recorder bystander;
    auto other = Subprocess::init(launcher, "exec sleep 60", &bystander, false, true);
    Recorder r;
    auto sub = Subprocess::init(launcher, "sleep 60 & echo $!; wait", &r, false, true);
    ASSERT_TRUE(serveUntil([&] { return r.output().find('\n') != std::string::npos; }));
    pid_t grandchild = std::atoi(r.output().c_str());
    ASSERT_GT(grandchild, 0);
    sub->terminate();
    ASSERT_TRUE(serveUntil([&] { return r.exited; }));
    EXPECT_TRUE(serveUntil([&] { return test::processEnded(grandchild); }));
    EXPECT_FALSE(test::processEnded(other->childPid()));
    EXPECT_FALSE(bystander.exited);
    other->terminate();
    EXPECT_TRUE(serveUntil([&] { return bystander.exited; }));
    sub->terminate();  // after the end: nothing to signal
}

TEST_F(SubprocessTest, OutputIsServedDuringAModalWaitInsideAnotherEvent) {
    // As a fetch panel does: an event handler starts the command and waits modally for it.
    Recorder r;
    bool handled = false;
    runLoop().post([&] {
        auto sub = Subprocess::init(launcher, "echo one; read x; echo two", &r, false, true);
        ASSERT_TRUE(serveUntil([&] { return !r.chunks.empty(); }));
        sub->send("go");
        ASSERT_TRUE(serveUntil([&] { return r.exited; }));
        handled = true;
    });
    ASSERT_TRUE(serveUntil([&] { return handled; }));
    EXPECT_EQ(r.output(), "one\ntwo\n");
}

TEST_F(SubprocessTest, TheDelegateMayDestroyTheSubprocessWhenToldOfTheEnd) {
    Recorder r;
    std::unique_ptr<Subprocess> sub = Subprocess::init(launcher, "echo bye", &r, false, true);
    r.onExit = [&] { sub.reset(); };
    ASSERT_TRUE(serveUntil([&] { return r.exited; }));
    EXPECT_EQ(sub, nullptr);
    EXPECT_EQ(r.output(), "bye\n");
}

TEST_F(SubprocessTest, StartFailureIsShownAndLeavesAnIdleSubprocess) {
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    int lowest = ::dup(0);
    ::close(lowest);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowest + 1);  // room for one descriptor, not a pipe
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);

    panels->answer(0);
    Recorder shown;
    auto sub = Subprocess::init(launcher, "echo never", &shown, false, true);
    Recorder handled;
    handled.takeErrors = true;
    auto sub2 = Subprocess::init(launcher, "echo never", &handled, false, true);
    ::setrlimit(RLIMIT_NOFILE, &saved);

    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].message, "Error starting UNIX pipes to subprocess.");
    EXPECT_EQ(handled.errors, std::vector<std::string>{"Error starting UNIX pipes to subprocess."});
    EXPECT_FALSE(sub->running());
    EXPECT_FALSE(sub2->running());
    sub->send("ignored");
    sub->terminate();
    runLoop().runUntil([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_FALSE(shown.exited);
    EXPECT_FALSE(handled.exited);
}

TEST_F(SubprocessTest, TerminalModeGivesTheCommandAQuietTerminal) {
    if (!havePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals here";
    Recorder r;
    auto sub = Subprocess::init(launcher, "tty; read line; echo got:$line", &r, true, true);
    ASSERT_TRUE(serveUntil([&] { return r.output().find("/dev/pts/") != std::string::npos; }));
    sub->send("abc");
    ASSERT_TRUE(serveUntil([&] { return r.exited; }));
    EXPECT_EQ(r.status, 0);
    std::string out = r.output();
    EXPECT_NE(out.find("got:abc\r\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("abc\r\ngot"), std::string::npos) << "the terminal echoed the input";
}

TEST_F(SubprocessTest, TerminalInputEndsWhenTerminated) {
    if (!havePseudoTerminals()) GTEST_SKIP() << "no pseudo-terminals here";
    Recorder r;
    auto sub = Subprocess::init(launcher, "cat; echo done", &r, true, true);
    sub->send("line");
    sub->terminateInput();
    ASSERT_TRUE(serveUntil([&] { return r.exited; }));
    EXPECT_EQ(r.output(), "line\r\ndone\r\n");
}

}  // namespace
}  // namespace quill

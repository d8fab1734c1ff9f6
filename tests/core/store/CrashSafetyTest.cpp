// Compaction, transfer and paste killed at every step and at random moments:
// afterwards every message is in exactly one place, old or new, and both
// mailboxes open with indexes that match their "mbox".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>

#include "StoreFixture.h"

namespace quill::test {
namespace {

namespace fs = std::filesystem;

constexpr int kMessages = 2000;
constexpr int kTargetMessages = 3;
constexpr int kRandomKills = 50;  // landed, per operation

std::string message(const std::string& subject, int bodyLines) {
    std::string m = "From someone Mon Jan  1 00:00:00 2001\nSubject: " + subject + "\n\n";
    for (int i = 0; i < bodyLines; ++i) m += "A line of body text that fills the mailbox up.\n";
    return m + "\n";
}

struct Operation {
    const char* name;
    std::vector<std::string> args;  // after the tool's name; "S" and "T" are the two boxes
    bool paste;
};

class CrashSafetyTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        if (::access(tool().c_str(), X_OK) != 0) GTEST_SKIP() << "quilltool is not built";
        std::string mbox;
        for (int i = 0; i < kMessages; ++i) mbox += message("m" + std::to_string(i), 20);
        makeBox(mbox, "S.mbox");
        std::string target;
        for (int i = 0; i < kTargetMessages; ++i) target += message("t" + std::to_string(i), 1);
        makeBox(target, "T.mbox");
        std::vector<int> deleted;
        for (int i = 0; i < kMessages; i += 10) deleted.push_back(i);
        open("S.mbox")->deleteMessages(deleted);
        open("T.mbox");
        fs::copy(mailDir(), tmp() + "/pristine", fs::copy_options::recursive);
        spit(tmp() + "/pasted", "Pasted note\n");
    }
    static std::string tool() { return std::string(QUILL_BIN_DIR) + "/quilltool"; }

    void restore() {
        removeTree(mailDir());
        fs::copy(tmp() + "/pristine", mailDir(), fs::copy_options::recursive);
    }

    // Runs the operation, killed at step `killAt` (0: never) or after
    // `killAfter` (negative: never). Answers whether it was killed.
    bool run(const Operation& op, long killAt, std::chrono::microseconds killAfter) {
        std::vector<std::string> args = {tool(), "--config", tmp() + "/quill.conf"};
        for (const std::string& a : op.args)
            args.push_back(a == "S" || a == "T" ? boxPath(a + ".mbox") : a);
        pid_t pid = ::fork();
        if (pid == 0) {
            if (killAt > 0) ::setenv("QUILL_KILL_AT_STEP", std::to_string(killAt).c_str(), 1);
            int in = ::open(op.paste ? (tmp() + "/pasted").c_str() : "/dev/null", O_RDONLY);
            int out = ::open("/dev/null", O_WRONLY);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(out, 2);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (killAfter.count() >= 0) {
            std::this_thread::sleep_for(killAfter);
            ::kill(pid, SIGKILL);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) || WEXITSTATUS(status) == 0) << op.name;
        return WIFSIGNALED(status);
    }

    // Opens both boxes (which puts right what the kill left) and checks them.
    void check(const std::string& where) {
        std::map<std::string, int> live, all;
        // The killed tool's locks name another user's full name, so they do
        // not look stale to this process; recovery needs both boxes free.
        for (const char* name : {"S.mbox", "T.mbox"}) ::unlink((boxPath(name) + "/.lock").c_str());
        for (const char* name : {"S.mbox", "T.mbox"}) {
            std::unique_ptr<MailBox> box = open(name);
            ASSERT_TRUE(box) << where;
            std::int64_t end = 0;
            for (std::uint32_t i = 0; i < box->toc().length(); ++i) {
                const TocEntry& e = box->toc().entry(static_cast<int>(i));
                ASSERT_EQ(e.offset, end) << where << " " << name << " entry " << i;
                end = std::int64_t(e.offset) + e.length;
                std::string subject, from;
                box->loadSubject(static_cast<int>(i), subject, from);
                ++all[subject];
                if (!e.status.isDeleted()) ++live[subject];
            }
            ASSERT_EQ(end, box->mailLength()) << where << " " << name;
            for (const char* left : {"/mbox.new", "/table_of_contents.new", "/Pending_Append",
                                     "/Pending_Transfer", "/Pending_Deletions"}) {
                EXPECT_FALSE(fs::exists(boxPath(name) + left)) << where << left;
            }
        }
        for (int i = 0; i < kMessages; ++i) {
            std::string s = "m" + std::to_string(i);
            if (i % 10 == 0) {
                ASSERT_LE(all[s], 1) << where << " " << s;
            } else {
                ASSERT_EQ(live[s], 1) << where << " " << s;
            }
        }
        for (int i = 0; i < kTargetMessages; ++i)
            ASSERT_EQ(live["t" + std::to_string(i)], 1) << where;
        ASSERT_LE(all["Pasted note"], 1) << where;
    }
};

TEST_F(CrashSafetyTest, EveryMessageSurvivesOnceWhereverTheProcessIsKilled) {
    const Operation ops[] = {
        {"compact", {"compact", "S"}, false},
        {"transfer", {"transfer", "S", "T", "1", "3", "11", "1999"}, false},
        {"paste", {"paste", "S"}, true},
    };
    std::mt19937 random(16);
    int kills = 0;
    for (const Operation& op : ops) {
        long step = 1;
        for (bool killed = true; killed; ++step) {
            restore();
            killed = run(op, step, std::chrono::microseconds(-1));
            kills += killed;
            check(std::string(op.name) + " step " + std::to_string(step));
            if (HasFatalFailure()) return;
        }
        restore();
        auto start = std::chrono::steady_clock::now();
        run(op, 0, std::chrono::microseconds(-1));
        auto span = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
        // A moment after the end kills nothing, so draw until enough landed.
        std::uniform_int_distribution<long> at(0, span.count() * 9 / 10);
        for (int i = 0, landed = 0; landed < kRandomKills && i < 4 * kRandomKills; ++i) {
            restore();
            bool killed = run(op, 0, std::chrono::microseconds(at(random)));
            landed += killed;
            kills += killed;
            check(std::string(op.name) + " at random " + std::to_string(i));
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_GE(kills, 200);
}

// The source's index found damaged after the kill is rebuilt from "mbox" when
// the source opens; the marks of the messages the journal was moving survive.
TEST_F(CrashSafetyTest, MovedMessagesStayMovedWhenTheSourceIndexIsRebuilt) {
    const Operation transfer = {"transfer", {"transfer", "S", "T", "1", "3", "11", "1999"}, false};
    int damaged = 0;
    for (long step = 1;; ++step) {
        restore();
        if (!run(transfer, step, std::chrono::microseconds(-1))) break;
        if (!fs::exists(boxPath("S.mbox") + "/Pending_Transfer")) continue;
        spit(boxPath("S.mbox") + "/table_of_contents", std::string(32, '\0'));
        ++damaged;
        check("transfer step " + std::to_string(step) + " with the source index damaged");
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(damaged, 0);
}

}  // namespace
}  // namespace quill::test

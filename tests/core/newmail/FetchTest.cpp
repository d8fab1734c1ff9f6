// The fetch program: what it leaves behind, what it reports, and that no
// message is lost or taken twice when it dies at any step, while mail keeps
// arriving, or when another program holds the spool.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "NewMailTest.h"
#include "base/Diagnostics.h"
#include "newmail/IncomingFiles.h"
#include "newmail/SpoolFetcher.h"
#include "newmail/SpoolLock.h"
#include "platform/NameService.h"
#include "process/ProcessLauncher.h"
#include "store/TocFormat.h"

namespace quill::test {
namespace {

using namespace std::chrono_literals;
using namespace tocformat;

class FetchTest : public NewMailTest {
  protected:
    // Every message first..last-1 exactly once in "mbox", and nothing else.
    void expectExactlyOnce(int last) {
        std::map<int, int> counts = countMessages(slurp(activeDir() + "/mbox"));
        for (int n = 0; n < last; ++n) EXPECT_EQ(counts[n], 1) << "message " << n;
        EXPECT_EQ(counts.size(), static_cast<std::size_t>(last));
    }
    long spoolSize() const {
        struct stat st;
        return ::stat(spool().c_str(), &st) == 0 ? st.st_size : -1;
    }
};

TEST_F(FetchTest, MovesTheSpoolIntoIncomingFilesAndReports) {
    deliver(0, 3);
    UniqueFd port = NameService::checkIn("FetchPort_tester_0000abcd");
    ASSERT_TRUE(port);
    int status = runFetch("FetchPort_tester_0000abcd");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(spoolSize(), 0);
    EXPECT_EQ(slurp(activeDir() + "/Incoming_Mail"), message(0) + message(1) + message(2));
    EXPECT_FALSE(::access((activeDir() + "/Copy_of_Spoolfile").c_str(), F_OK) == 0);
    std::string toc = slurp(activeDir() + "/Incoming_Table_of_Contents");
    ASSERT_GE(toc.size(), kHeaderSize);
    EXPECT_EQ(getU32(toc.data()), kMagic);
    EXPECT_EQ(getI32(toc.data() + kCountOffset), 3);
    std::size_t at = kHeaderSize;
    for (int n = 0; n < 3; ++n) {
        ASSERT_LE(at + kFixedSize, toc.size());
        EXPECT_EQ(getI32(toc.data() + at + kLengthOffset),
                  static_cast<std::int32_t>(message(n).size()));
        EXPECT_EQ(toc[at + kStatusOffset], '*');
        at += getI32(toc.data() + at);
    }
    EXPECT_EQ(at, toc.size());

    std::vector<std::pair<int, std::string>> reports;
    int msgid;
    std::string data;
    while (NameService::receive(port.get(), msgid, data)) reports.push_back({msgid, data});
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].first, kFetchStartedMsg);
    EXPECT_EQ(reports[1].first, kFetchProgressMsg);
    EXPECT_EQ(NameService::wordAt(reports[1].second, 0), 3);
    EXPECT_EQ(reports[2].first, kFetchDoneMsg);
    EXPECT_EQ(reports[2].second, NameService::words(0, 0));
}

// The records the fetch program prepares carry the priority the user's
// "PriorityHeader" gives, read from the settings file Quill uses; spool mail
// without any "From " line still gets a record, so none of it is dropped.
TEST_F(FetchTest, PreparedRecordsFollowTheUsersSettings) {
    writeFile("home/.config/Quill/Quill.conf", "[General]\nPriorityHeader=X-Priority\n");
    spit(spool(), "From a@example.com Sun Dec  6 04:00:00 2026\nX-Priority: 2\n\nbody\n");
    ASSERT_TRUE(WIFEXITED(runFetch()));
    std::string toc = slurp(activeDir() + "/Incoming_Table_of_Contents");
    ASSERT_GT(toc.size(), kHeaderSize + 4);
    EXPECT_EQ(getI32(toc.data() + toc.size() - 4), 2);

    ::unlink((activeDir() + "/Incoming_Mail").c_str());
    ::unlink((activeDir() + "/Incoming_Table_of_Contents").c_str());
    spit(spool(), "no envelope line at all\n");
    ASSERT_TRUE(WIFEXITED(runFetch()));
    EXPECT_EQ(slurp(activeDir() + "/Incoming_Mail"), "no envelope line at all\n");
    EXPECT_EQ(getI32(slurp(activeDir() + "/Incoming_Table_of_Contents").data() + kCountOffset), 1);
}

// Each run dies one step later than the one before, with new mail delivered
// before every run; a later fetch and incorporation, in either order, must
// then hold every message exactly once.
TEST_F(FetchTest, DeathAtEveryStepLosesAndRepeatsNothing) {
    int delivered = 0;
    // After a death the files wait for the next fetch (0), the next fetch
    // runs before Quill takes the mail in (1), or Quill takes in what the
    // dead run left before the next fetch (2).
    for (int mode = 0; mode < 3; ++mode) {
        bool finished = false;
        for (long step = 1; step < 60 && !finished; ++step) {
            deliver(delivered, delivered + 2);
            delivered += 2;
            int status = runFetch("NoPort", step);
            finished = WIFEXITED(status);
            if (!finished) {
                ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            }
            if (mode == 0 && !finished) continue;
            if (mode == 2) incorporate();
            ASSERT_TRUE(WIFEXITED(runFetch()));
            incorporate();
            SCOPED_TRACE(formatString("mode %d, died after step %ld", mode, step));
            expectExactlyOnce(delivered);
            EXPECT_EQ(spoolSize(), 0);
        }
        EXPECT_TRUE(finished) << "the fetch never got to its end";
    }
}

// The same with the deaths at random moments while another process keeps
// delivering under the delivery agents' locks.
TEST_F(FetchTest, RandomKillsWhileMailKeepsArriving) {
    constexpr int kMessages = 300;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int n = 0; n < kMessages; n += 3) {
            deliver(n, n + 3);
            std::this_thread::sleep_for(1ms);
        }
        done = true;
    });
    for (int round = 0; round < 40 || !done; ++round) {
        pid_t pid = startFetch("NoPort");
        std::this_thread::sleep_for(std::chrono::microseconds(100 + (round * 397) % 4000));
        processLauncher().signalGroup(pid, SIGKILL);
        processLauncher().wait(pid);
        if (round % 5 == 4) incorporate();
    }
    writer.join();
    ASSERT_TRUE(WIFEXITED(runFetch()));
    EXPECT_EQ(incorporate(), kMessages);
    expectExactlyOnce(kMessages);
}

TEST_F(FetchTest, WaitsForABusySpoolAndTakesOnlyWhatItCopied) {
    deliver(0, 2);
    pid_t pid;
    {
        auto held = SpoolLock::tryLock(spool(), processLauncher());
        ASSERT_TRUE(held);
        pid = startFetch("NoPort");
        std::this_thread::sleep_for(300ms);
        int running = 0;
        EXPECT_EQ(processLauncher().tryWait(pid, running), 0) << "the fetch did not wait";
        EXPECT_EQ(spoolSize(), static_cast<long>((message(0) + message(1)).size()));
        // The holder is a delivery agent: it adds a message before letting go.
        ASSERT_GE(::lseek(held->fd(), 0, SEEK_END), 0);
        ASSERT_TRUE(writeAll(held->fd(), message(2)));
    }
    int status = processLauncher().wait(pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(incorporate(), 3);
    expectExactlyOnce(3);
}

TEST_F(FetchTest, StaleDotLockOfADeadHolderIsBroken) {
    deliver(0, 1);
    spit(spool() + ".lock", "999999999\n");
    ASSERT_TRUE(WIFEXITED(runFetch()));
    EXPECT_EQ(spoolSize(), 0);
    EXPECT_NE(::access((spool() + ".lock").c_str(), F_OK), 0);
}

// procmail, Debian's delivery agent, writes the spool with its own dot-lock
// and fcntl locking while Quill fetches.
TEST_F(FetchTest, ProcmailDeliversWhileQuillFetches) {
    if (::access("/usr/bin/procmail", X_OK) != 0) GTEST_SKIP() << "procmail is not installed";
    constexpr int kMessages = 60;
    std::string rc = writeFile(
        "procmailrc", "LOGFILE=/dev/null\nVERBOSE=no\nLOCKSLEEP=1\n:0:\n" + spool() + "\n");
    std::atomic<bool> failed{false};
    std::thread agent([&] {
        for (int n = 0; n < kMessages; ++n) {
            std::string file = writeFile("incoming" + std::to_string(n), message(n));
            std::string command = "/usr/bin/procmail -m " + rc + " < " + file;
            if (std::system(command.c_str()) != 0) failed = true;
        }
    });
    for (int round = 0; round < 20; ++round) {
        runFetch();
        if (round % 4 == 0) incorporate();
    }
    agent.join();
    ASSERT_FALSE(failed) << "procmail could not deliver";
    ASSERT_TRUE(WIFEXITED(runFetch()));
    EXPECT_EQ(incorporate(), kMessages);
    expectExactlyOnce(kMessages);
}

// Where the spool directory is not ours to write, the dot-lock is made and
// removed by the system's setgid helper, told the spool through MAIL. (As
// root every directory is writable, so the lock is taken by an ordinary user.)
TEST_F(FetchTest, ASpoolDirectoryWeCannotWriteIsLockedThroughTheHelper) {
    std::string log = writeFile("helper.log", "");
    std::string helper =
        writeFile("dotlockfile", "#!/bin/sh\necho \"$MAIL $*\" >> " + log + "\nexit 0\n");
    deliver(0, 1);
    for (const std::string& path : {tmp(), spoolDir(), helper}) ::chmod(path.c_str(), 0755);
    for (const std::string& path : {spool(), log}) ::chmod(path.c_str(), 0666);
    ::chmod(spoolDir().c_str(), 0555);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(3);
        SpoolLock::setDotlockProgram(helper);
        bool locked = SpoolLock::tryLock(spool(), processLauncher()) != nullptr;
        _exit(locked ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::chmod(spoolDir().c_str(), 0700);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(slurp(log), spool() + " -l -r 0 -q -m\n" + spool() + " -u -r 0 -q -m\n");
}

}  // namespace
}  // namespace quill::test

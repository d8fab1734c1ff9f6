// Opening mailboxes: creation, the old format, the two locks, read-only
// mailboxes, the cache, reading messages, the display filter and searching.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "StoreFixture.h"
#include "settings/Defaults.h"
#include "store/locking.h"

namespace quill::test {
namespace {

std::string hostName() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

pid_t deadPid() {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

using MailBoxTest = StoreTest;

TEST_F(MailBoxTest, MissingMailboxIsCreatedAndLockedWhileOpen) {
    auto box = open("New.mbox");
    ASSERT_TRUE(box);
    EXPECT_EQ(slurp(boxPath("New.mbox") + "/mbox"), "");
    EXPECT_EQ(tocBytes("New.mbox").size(), 32u);
    EXPECT_EQ(box->dirname(), boxPath("New.mbox"));
    std::string lock = boxPath("New.mbox") + "/.lock";
    EXPECT_EQ(slurp(lock), hostName() + ",Test User," + std::to_string(::getpid()));
    struct stat st;
    ::stat(lock.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    box.reset();
    EXPECT_FALSE(exists(lock));
}

TEST_F(MailBoxTest, PlainFileIsRefusedAsOldFormat) {
    std::string path = writeFile("home/Mail/Old.mbox", "From a\n\n");
    panels->answer(0);
    EXPECT_FALSE(open("Old.mbox"));
    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].title, "Old File Format");
    EXPECT_EQ(panels->alerts()[0].message,
              "Cannot open mailbox. " + path + " is in the old format.");
}

TEST_F(MailBoxTest, LockFilesOfOthers) {
    struct Row {
        const char* name;
        std::string lock;
        const char* answer;  // nullptr: no question expected
        bool opens;
    };
    std::string me = hostName() + ",Test User,";
    Row rows[] = {
        {"stale holder", me + std::to_string(deadPid()), nullptr, true},
        {"no comma", "garbage", nullptr, true},
        {"live holder, cancel", me + "1", "Cancel", false},
        {"live holder, open anyway", me + "1", "Open Anyway", true},
        {"other host", "elsewhere,Test User," + std::to_string(deadPid()), "Cancel", false},
        {"other user", hostName() + ",Someone," + std::to_string(deadPid()), "Cancel", false},
    };
    makeBox("");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        panels->clear();
        spit(boxPath() + "/.lock", row.lock);
        if (row.answer) panels->answer(row.answer);
        auto box = open();
        EXPECT_EQ(bool(box), row.opens);
        EXPECT_EQ(panels->alerts().size(), row.answer ? 1u : 0u);
        if (row.answer) {
            std::string user = row.lock.substr(row.lock.find(',') + 1);
            user = user.substr(0, user.find(','));
            EXPECT_EQ(panels->alerts()[0].message,
                      "The mailbox " + boxPath() + " is currently locked by " + user + " on host " +
                          row.lock.substr(0, row.lock.find(',')) + ".");
            EXPECT_EQ(panels->alerts()[0].buttons,
                      (std::vector<std::string>{"Open Anyway", "Cancel"}));
        }
        // Refused: the other holder's lock stays as it was.
        if (!row.opens) {
            EXPECT_EQ(slurp(boxPath() + "/.lock"), row.lock);
        }
    }
}

// A second program on the same mailbox is asked about the lock file and,
// told to open anyway, still cannot take "mbox" while the first holds it.
TEST_F(MailBoxTest, SecondProcessCannotTakeAHeldMailbox) {
    makeBox(smallMbox());
    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    pid_t child = ::fork();
    if (child == 0) {
        panels->onUnexpected = [](const AlertRequest&) { ::_exit(3); };
        auto box = open();
        char c = box ? 1 : 0;
        (void)!::write(ready[1], &c, 1);
        (void)!::read(done[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 1);
    panels->answer("Open Anyway");
    panels->answer(0);
    auto second = open();
    EXPECT_FALSE(second);
    ASSERT_EQ(panels->alerts().size(), 2u);
    EXPECT_TRUE(panels->alerts()[0].message.starts_with(
        "The mailbox " + boxPath() + " is currently locked by Test User on host "));
    EXPECT_EQ(panels->alerts()[1].message,
              boxPath() +
                  "/mbox is already in use.\nPlease exit the other mail reader before "
                  "invoking Quill.");
    (void)!::write(done[1], &c, 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(MailBoxTest, RecordLockConflictsWithinOneProcessToo) {
    makeBox("");
    Status status;
    UniqueFile first = openMailFile(boxPath() + "/mbox", "r", status);
    ASSERT_TRUE(first);
    EXPECT_FALSE(openMailFile(boxPath() + "/mbox", "r", status));
    EXPECT_EQ(status.kind(), Status::kInUse);
    EXPECT_EQ(status.path(), boxPath() + "/mbox");
}

TEST_F(MailBoxTest, UnwritableMboxOpensReadOnlyOutsideTheCache) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
    makeBox(smallMbox());
    ::chmod((boxPath() + "/mbox").c_str(), 0444);
    panels->answer(0);
    auto box = open();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->readOnly());
    EXPECT_EQ(panels->alerts().at(0).title, "Open");
    EXPECT_EQ(box->toc().length(), 4u);
    panels->answer("Cancel");  // not in the cache: a fresh open meets our own lock
    EXPECT_EQ(MailBox::newTempMailBox(boxPath(), mailContext()), nullptr);
}

TEST_F(MailBoxTest, TempMailBoxComesFromWindowThenCache) {
    makeBox("");
    auto box = open();
    ASSERT_TRUE(box);
    EXPECT_EQ(MailBox::newTempMailBox(boxPath(), mailContext()), box.get());
    auto other = open("Other.mbox");
    MailBox::setWindowFinder([&](const std::string& p) {
        return MailBox::WindowMailbox{p == boxPath() ? other.get() : nullptr};
    });
    EXPECT_EQ(MailBox::newTempMailBox(boxPath(), mailContext()), other.get());
    MailBox::setWindowFinder(nullptr);
}

// A window still rebuilding the index holds the lock: the mailbox is refused
// with a reason instead of the question whether to break that lock.
TEST_F(MailBoxTest, TempMailBoxOfAWindowStillOpeningIsRefused) {
    makeBox("");
    std::vector<Status> told;
    MailContext context = mailContext();
    context.report = [&](const Status& s) { told.push_back(s); };
    MailBox::setWindowFinder([](const std::string&) {
        return MailBox::WindowMailbox{nullptr, true};
    });
    EXPECT_EQ(MailBox::newTempMailBox(boxPath(), context), nullptr);
    MailBox::setWindowFinder(nullptr);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].kind(), Status::kStillOpening);
    EXPECT_TRUE(panels->alerts().empty());
}

TEST_F(MailBoxTest, FailedOpeningLeavesNoLockAndNoCacheEntry) {
    makeBox(smallMbox());
    Status status;
    UniqueFile holder = openMailFile(boxPath() + "/mbox", "r", status);
    panels->answer(0);
    EXPECT_FALSE(open());
    EXPECT_FALSE(exists(boxPath() + "/.lock"));
    holder.close();
    panels->answer("Cancel");  // would have been found in the cache otherwise
    ASSERT_TRUE(MailBox::newTempMailBox(boxPath(), mailContext()));
    panels->clear();
}

TEST_F(MailBoxTest, LoadingReadsTheMessageWithoutItsSeparator) {
    makeBox(smallMbox());
    auto box = open();
    ASSERT_TRUE(box);
    std::optional<std::string_view> text = box->loadMessageTextAt(0);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), static_cast<std::size_t>(box->tocInfoAt(0).length - 1));
    EXPECT_TRUE(text->starts_with("From alice@example.com"));
    EXPECT_TRUE(text->ends_with("Shall we?\n"));
    EXPECT_EQ(box->msgHeader().emptyGet("Subject:"), "Lunch");
    EXPECT_FALSE(box->loadMessageTextAt(4));
}

TEST_F(MailBoxTest, DisplayFilterOutputIsShownUnlessEmpty) {
    std::string upper = writeFile("upper.sh", "#!/bin/sh\nexec tr a-z A-Z\n");
    std::string silent = writeFile("silent.sh", "#!/bin/sh\ncat >/dev/null\n");
    ::chmod(upper.c_str(), 0755);
    ::chmod(silent.c_str(), 0755);
    makeBox(smallMbox());
    auto box = open();
    ASSERT_TRUE(box);
    store->set("DisplayFilter", upper);
    Defaults::shared().setStore(store);
    auto text = box->loadMessageTextAt(2);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->starts_with("FROM TESTER"));
    EXPECT_EQ(box->msgHeader().emptyGet("Subject:"), "Re: Lunch");  // parsed from the raw bytes
    store->set("DisplayFilter", silent + " --quiet");
    Defaults::shared().setStore(store);
    text = box->loadMessageTextAt(2);
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->starts_with("From tester"));
}

TEST_F(MailBoxTest, FindCountsFromTheGivenStart) {
    makeBox("");
    auto box = open();
    ASSERT_TRUE(box);
    std::string path = writeFile("stream", "x\n\nFrom a\n");
    std::FILE* f = std::fopen(path.c_str(), "r");
    long locs[2] = {};
    EXPECT_EQ(box->find("\nFrom ", 10, 0, locs, f), 1);
    EXPECT_EQ(locs[0], 12);
    EXPECT_EQ(locs[1], 18);
    std::rewind(f);
    EXPECT_EQ(box->find("\nFrom ", 0, 2, locs, f), 0);  // the match starts at 2
    std::rewind(f);
    EXPECT_EQ(box->find("From b", 0, 0, locs, f), 0);
    std::fclose(f);
}

TEST_F(MailBoxTest, MessageAtMatchesLinesAndAttachmentText) {
    makeBox(smallMbox());
    auto box = open();
    ASSERT_TRUE(box);
    regex_t re;
    ASSERT_EQ(compileFindExpression(re, "^Subject: Lunch$", 0), 0);
    EXPECT_EQ(box->messageAt(0, re), 1);
    EXPECT_EQ(box->messageAt(2, re), 0);  // "Re: Lunch" does not start the line
    EXPECT_EQ(box->messageAt(9, re), 0);
    EXPECT_EQ(logCount("# Searching out of bounds: 9 != [0..4]"), 1);
    regfree(&re);

    ASSERT_EQ(compileFindExpression(re, "secret plans", REG_ICASE), 0);
    EXPECT_EQ(box->messageAt(3, re), 0);
    EXPECT_EQ(logCount("Warning: Can't open " + boxPath() + "/Notes.attach/index.rtf"), 1);
    ::mkdir((boxPath() + "/Notes.attach").c_str(), 0755);
    spit(boxPath() + "/Notes.attach/index.rtf", "{\\rtf1\nSecret Plans\n}");
    EXPECT_EQ(box->messageAt(3, re), 1);
    regfree(&re);
}

}  // namespace
}  // namespace quill::test

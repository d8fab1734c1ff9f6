// Opening a mailbox whose index must be rebuilt, off the main thread: the
// reader appears when the scan ends, failures reach the user only from the
// main thread, and a cancel or a closed window leaves the mailbox as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/MailDriver.h"
#include "platform/RunLoop.h"
#include "reader/MailReader.h"
#include "reader/MailboxOpening.h"
#include "store/TocFormat.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using State = MailboxOpening::State;
using test::dirEntries;
using test::QuillTest;
using test::slurp;
using test::spit;

constexpr int kMessages = 300;

std::string mailboxText(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "From ann@x.org Mon Mar  4 10:00:00 2024\nFrom: ann@x.org\nSubject: note " +
                std::to_string(i) + "\n\nbody\n\n";
    }
    return text;
}

class MailboxOpeningTest : public QuillTest {
  public:
    void SetUp() override {
        QuillTest::SetUp();
        path = mailDir() + "/Big.mbox";
        ::mkdir(path.c_str(), 0700);
        spit(path + "/mbox", mailboxText(kMessages));
    }
    void TearDown() override {
        MailboxOpening::slowScanForTesting(std::chrono::microseconds(0));
        QuillTest::TearDown();
    }
    std::unique_ptr<MailboxOpening> begin() {
        auto opening = std::make_unique<MailboxOpening>(path, MailDriver::shared().mailContext(),
                                                        MailDriver::shared());
        MailboxOpening::Hooks hooks;
        hooks.progress = [this](double f) { fractions.push_back(f); };
        hooks.finished = [this] { ++finishedCalls; };
        opening->setHooks(hooks);
        opening->start();
        return opening;
    }
    void waitFor(MailboxOpening& opening) {
        runLoop().runUntil([&] { return opening.state() != State::Rebuilding; },
                           std::chrono::seconds(20));
    }
    // An index that matches "mbox", with a frame recorded in its header.
    void writeCurrentIndex() {
        auto reader = MailReader::open(path, mailContext(), MailDriver::shared());
        ASSERT_TRUE(reader);
        tocformat::Header header;
        ASSERT_TRUE(readHeader(header));
        header.frame = {40, 50, 800, 600};
        header.tocHeight = 180;
        std::string bytes = slurp(indexPath());
        encodeHeader(header, bytes.data());
        spit(indexPath(), bytes);
    }
    bool readHeader(tocformat::Header& header) const {
        std::string bytes = slurp(indexPath());
        if (bytes.size() < tocformat::kHeaderSize) return false;
        header = tocformat::decodeHeader(bytes.data());
        return true;
    }
    void makeStale() {
        struct stat st;
        ::stat((path + "/mbox").c_str(), &st);
        struct timespec times[2] = {{st.st_mtime + 5, 0}, {st.st_mtime + 5, 0}};
        ::utimensat(AT_FDCWD, (path + "/mbox").c_str(), times, 0);
    }
    std::string indexPath() const { return path + "/table_of_contents"; }
    bool locked() const { return ::access((path + "/.lock").c_str(), F_OK) == 0; }

    std::string path;
    std::vector<double> fractions;
    int finishedCalls = 0;
};

// However the index is unfit, the scan runs off the main thread and the
// reader lists every message; an index that fits, or a mailbox too small to
// be worth a worker (unless slowed), opens before start returns.
TEST_F(MailboxOpeningTest, OnlyAnUnfitIndexIsRebuiltAndEveryWayEndsWithTheFullList) {
    struct Case {
        const char* name;
        std::function<void(MailboxOpeningTest&)> prepare;
        State afterStart;
        std::size_t modalPanels = 0;
    };
    const Case cases[] = {
        {"current", [](MailboxOpeningTest& t) { t.writeCurrentIndex(); }, State::Opened},
        {"small, not slowed",
         [](MailboxOpeningTest&) {
             MailboxOpening::slowScanForTesting(std::chrono::microseconds(0));
         },
         State::Opened, 1},
        {"missing", [](MailboxOpeningTest&) {}, State::Rebuilding},
        {"stale",
         [](MailboxOpeningTest& t) {
             t.writeCurrentIndex();
             t.makeStale();
         },
         State::Rebuilding},
        {"records cut short",
         [](MailboxOpeningTest& t) {
             t.writeCurrentIndex();
             std::string bytes = slurp(t.indexPath());
             bytes.resize(bytes.size() - 7);
             spit(t.indexPath(), bytes);
             // Cutting the file leaves the header's time matching "mbox".
         },
         State::Rebuilding},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(indexPath().c_str());
        MailboxOpening::slowScanForTesting(std::chrono::microseconds(1));
        c.prepare(*this);
        panels->clear();
        finishedCalls = 0;
        auto opening = begin();
        EXPECT_EQ(opening->state(), c.afterStart);
        waitFor(*opening);
        ASSERT_EQ(opening->state(), State::Opened);
        EXPECT_EQ(finishedCalls, c.afterStart == State::Rebuilding ? 1 : 0);
        auto reader = opening->takeReader();
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->mailbox().toc().length(), unsigned(kMessages));
        EXPECT_EQ(reader->matrix().rowCount(), kMessages);
        EXPECT_EQ(panels->progress().size(), c.modalPanels) << "no modal panel beside a window";
        EXPECT_TRUE(panels->alerts().empty());
        reader.reset();
        EXPECT_FALSE(locked());
        logLines.clear();
    }
}

TEST_F(MailboxOpeningTest, ARebuiltIndexIsTheOneAnOpeningOnTheMainThreadWrites) {
    MailboxOpening::slowScanForTesting(std::chrono::microseconds(1));
    auto opening = begin();
    waitFor(*opening);
    opening->takeReader().reset();
    std::string offThread = slurp(indexPath());
    ::unlink(indexPath().c_str());
    ASSERT_TRUE(MailReader::open(path, mailContext(), MailDriver::shared()));
    EXPECT_EQ(offThread, slurp(indexPath()));
}

// A cancel from the window's button and the window closing both stop the scan
// and leave the files as they were, lock released, with nothing said.
TEST_F(MailboxOpeningTest, CancelAndClosingLeaveTheMailboxUnopenedAndUnchanged) {
    for (bool byClosing : {false, true}) {
        SCOPED_TRACE(byClosing ? "window closed" : "cancel button");
        writeCurrentIndex();
        makeStale();
        std::string index = slurp(indexPath()), mbox = slurp(path + "/mbox");
        finishedCalls = 0;
        MailboxOpening::slowScanForTesting(std::chrono::milliseconds(3));
        auto opening = begin();
        ASSERT_EQ(opening->state(), State::Rebuilding);
        EXPECT_TRUE(locked());
        // The window stands where the stale index says.
        tocformat::WindowFrame frame;
        float tocHeight = 0;
        EXPECT_TRUE(opening->recordedFrame(frame, tocHeight));
        EXPECT_EQ(frame, (tocformat::WindowFrame{40, 50, 800, 600}));
        EXPECT_EQ(tocHeight, 180);
        runLoop().runUntil([&] { return !fractions.empty() && fractions.back() > 0; },
                           std::chrono::seconds(10));
        if (byClosing) {
            opening->closeWindow();
            EXPECT_EQ(opening->state(), State::Cancelled);
        } else {
            opening->cancel();
            waitFor(*opening);
            EXPECT_EQ(opening->state(), State::Cancelled);
        }
        EXPECT_EQ(finishedCalls, byClosing ? 0 : 1);
        EXPECT_FALSE(opening->takeReader());
        EXPECT_FALSE(locked());
        EXPECT_EQ(slurp(indexPath()), index);
        EXPECT_EQ(slurp(path + "/mbox"), mbox);
        EXPECT_EQ(dirEntries(path), (std::vector<std::string>{"mbox", "table_of_contents"}));
        EXPECT_TRUE(panels->alerts().empty());
    }
}

// A failure the worker meets waits for the main thread and is told there,
// in order, with the texts a synchronous opening shows.
TEST_F(MailboxOpeningTest, AFailedRebuildIsToldOnTheMainThreadAndUnlocks) {
    ::mkdir(indexPath().c_str(), 0700);  // no index can be put in place
    MailboxOpening::slowScanForTesting(std::chrono::microseconds(1));
    panels->answer(0);
    panels->answer(0);
    auto opening = begin();
    ASSERT_EQ(opening->state(), State::Rebuilding);
    EXPECT_TRUE(panels->alerts().empty());
    waitFor(*opening);
    EXPECT_EQ(opening->state(), State::Failed);
    ASSERT_EQ(panels->alerts().size(), 2u);
    EXPECT_EQ(panels->alerts()[0].title, "File system error");
    EXPECT_NE(panels->alerts()[0].message.find("table_of_contents"), std::string::npos);
    EXPECT_NE(panels->alerts()[1].message.find("mbox"), std::string::npos);
    EXPECT_FALSE(locked());
}

}  // namespace
}  // namespace quill

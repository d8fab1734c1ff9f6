// Compaction's resulting bytes, a disk that fills while it copies, and moving
// and pasting messages.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "StoreFixture.h"
#include "base/FaultInjection.h"
#include "base/bigendian.h"
#include "message/MailMessage.h"
#include "store/TocFormat.h"
#include "store/pastetext.h"
#include "support/FakeProcessLauncher.h"

namespace quill::test {
namespace {

using namespace tocformat;

const std::string kPrefix = "This line is not part of any message.\n";

// The messages of smallMbox as its index finds them, each with the newline
// before the next one.
std::vector<std::string> messagesOf(MailBox& box) {
    std::string bytes = slurp(box.mailFileName());
    std::vector<std::string> out;
    for (std::uint32_t i = 0; i < box.toc().length(); ++i) {
        const TocEntry& e = box.toc().entry(static_cast<int>(i));
        out.push_back(
            bytes.substr(static_cast<std::size_t>(e.offset), static_cast<std::size_t>(e.length)));
    }
    return out;
}

// Record i of an index file's bytes.
std::string recordAt(const std::string& index, int i) {
    std::size_t at = kHeaderSize;
    while (i-- > 0) at += getU32(index.data() + at);
    return index.substr(at, getU32(index.data() + at));
}

class CompactionTest : public StoreTest {
  protected:
    void TearDown() override {
        FaultInjection::setFailure(nullptr);
        StoreTest::TearDown();
    }
    // The box starts its children through `launcher` (unset: the installed one).
    std::unique_ptr<MailBox> boxWithDeleted(const std::vector<int>& deleted,
                                            ProcessLauncher* launcher = nullptr) {
        makeBox(smallMbox());
        std::filesystem::create_directory(boxPath() + "/Notes.attach");
        spit(boxPath() + "/Notes.attach/index.rtf", "{\\rtf0 notes}");
        MailContext context = mailContext();
        context.launcher = launcher;
        std::unique_ptr<MailBox> box = MailBox::newMailBox(boxPath(), context);
        box->deleteMessages(deleted);
        return box;
    }
    bool sideFilesLeft() const {
        return std::filesystem::exists(boxPath() + "/mbox.new") ||
               std::filesystem::exists(tocPath() + ".new");
    }
};

TEST_F(CompactionTest, KeepsTheOtherMessagesAndRecordsWithNewOffsets) {
    struct Row {
        std::vector<int> deleted;
        std::vector<int> kept;
    } rows[] = {
        // A kept first message keeps the text before it; a deleted one takes
        // everything after it to offset 0.
        {{1, 3}, {0, 2}},
        {{0}, {1, 2, 3}},
        {{0, 1, 2, 3}, {}},
        {{}, {0, 1, 2, 3}},
    };
    for (const Row& row : rows) {
        FakeProcessLauncher launcher;
        std::unique_ptr<MailBox> box = boxWithDeleted(row.deleted, &launcher);
        std::vector<std::string> messages = messagesOf(*box);
        std::string expectedMbox = row.kept.empty() || row.kept[0] != 0 ? "" : kPrefix;
        for (int k : row.kept) expectedMbox += messages[k];
        std::string before = tocBytes();
        int selected = 0;
        ASSERT_TRUE(box->compactMail(selected));
        EXPECT_EQ(selected, -1);
        EXPECT_EQ(slurp(boxPath() + "/mbox"), expectedMbox);
        std::string after = tocBytes();
        struct stat st;
        ::stat((boxPath() + "/mbox").c_str(), &st);
        EXPECT_EQ(getI32(after.data() + kCountOffset), static_cast<int>(row.kept.size()));
        EXPECT_EQ(getI32(after.data() + kTimeOffset), static_cast<std::int32_t>(st.st_mtime));
        EXPECT_EQ(after.substr(kHeightOffset, kHeaderSize - kHeightOffset),
                  before.substr(kHeightOffset, kHeaderSize - kHeightOffset));
        std::size_t at = row.kept.empty() || row.kept[0] != 0 ? 0 : kPrefix.size();
        for (std::size_t i = 0; i < row.kept.size(); ++i) {
            std::string expected = recordAt(before, row.kept[i]);
            putU32(expected.data() + kOffsetOffset, static_cast<std::uint32_t>(at));
            EXPECT_EQ(recordAt(after, static_cast<int>(i)), expected);
            at += messages[row.kept[i]].size();
        }
        // The deleted message's directory goes to rm, which is not waited for.
        bool removed = std::find(row.kept.begin(), row.kept.end(), 3) == row.kept.end();
        ASSERT_EQ(launcher.launches().size(), removed ? 1u : 0u);
        if (removed) {
            EXPECT_EQ(launcher.launches()[0].request.argv,
                      (std::vector<std::string>{"/bin/rm", "-rf", "Notes.attach"}));
        }
        EXPECT_FALSE(sideFilesLeft());
        EXPECT_EQ(box->toc().length(), row.kept.size());
        box.reset();
        removeTree(boxPath());
    }
}

TEST_F(CompactionTest, FullDiskLeavesTheMailboxAsItWas) {
    std::unique_ptr<MailBox> box = boxWithDeleted({0, 2});
    std::string mbox = slurp(boxPath() + "/mbox"), toc = tocBytes();
    for (const char* failing : {"write", "sync", "rename"}) {
        FaultInjection::setFailure(
            [failing](const char* what) { return std::strcmp(what, failing) == 0 ? ENOSPC : 0; });
        panels->answer(0);
        int selected = 0;
        EXPECT_FALSE(box->compactMail(selected)) << failing;
        ASSERT_EQ(panels->alerts().size(), 1u);
        EXPECT_NE(panels->alerts()[0].message.find(std::strerror(ENOSPC)), std::string::npos);
        panels->clear();
        EXPECT_EQ(slurp(boxPath() + "/mbox"), mbox);
        EXPECT_EQ(tocBytes(), toc);
        EXPECT_FALSE(sideFilesLeft());
    }
    FaultInjection::setFailure(nullptr);
    int selected = 0;
    EXPECT_TRUE(box->compactMail(selected));
    EXPECT_EQ(box->toc().length(), 2u);
}

TEST_F(CompactionTest, TransferCopiesAttachmentsUnderUniqueNames) {
    std::unique_ptr<MailBox> source = boxWithDeleted({});
    makeBox("", "Target.mbox");
    std::filesystem::create_directory(boxPath("Target.mbox") + "/Notes.attach");
    std::unique_ptr<MailBox> target = open("Target.mbox");
    std::vector<std::string> messages = messagesOf(*source);
    ASSERT_TRUE(source->transfer({2, 3}, *target));
    std::string moved = slurp(boxPath("Target.mbox") + "/mbox");
    ASSERT_EQ(target->toc().length(), 2u);
    std::string name = target->toc().loadAttach(1);
    EXPECT_TRUE(name.starts_with("Notes_") && name.ends_with(".attach")) << name;
    std::string line = "Zell-Reference: " + name + ", E, 1/1\n";
    std::string third = messages[3];
    third.replace(third.find("Zell-Reference:"),
                  std::strlen("Zell-Reference: Notes.attach, E, 1/1\n"), line);
    EXPECT_EQ(moved, messages[2] + third);
    EXPECT_EQ(slurp(boxPath("Target.mbox") + "/" + name + "/index.rtf"), "{\\rtf0 notes}");
    EXPECT_TRUE(source->getStateForMsg(2).isDeleted());
    EXPECT_TRUE(source->getStateForMsg(3).isDeleted());
    EXPECT_FALSE(source->getStateForMsg(1).isDeleted());
    EXPECT_FALSE(std::filesystem::exists(boxPath() + "/Pending_Transfer"));
    EXPECT_FALSE(std::filesystem::exists(boxPath("Target.mbox") + "/Pending_Append"));
}

TEST_F(CompactionTest, PastedTextBecomesAMessage) {
    UserInfo user{"tester", home(), "Test User"};
    const std::time_t when = 1700000000;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    std::string header = std::string("From tester Tue Nov 14 22:13:20 2023\n") +
                         "Received: by Zell.Mailer (" + platformBuildText() + " Version 1.1)\n" +
                         "From: Test User <tester>\nDate: Tue, 14 Nov 2023 22:13:20 GMT\n" +
                         "To: tester\nSubject: ";
    std::string longLine(70, 'x');
    struct Row {
        std::string text, expected;
    } rows[] = {
        {"Hello there", header + "Hello there\n\nHello there\n\n"},
        {" \t\x01Hi\tyou\n", header + "Hi you \n\n \t\x01Hi\tyou\n\n"},
        {longLine, header + longLine.substr(0, 64) + "...\n\n" + longLine + "\n\n"},
        {"From a Mon Jan  1 00:00:00 2001\n\nbody\n\n",
         "From a Mon Jan  1 00:00:00 2001\n\nbody\n\n"},
    };
    for (const Row& row : rows) EXPECT_EQ(pastedMessage(row.text, user, when), row.expected);

    makeBox(smallMbox());
    std::unique_ptr<MailBox> box = open();
    ASSERT_TRUE(box->pasteMail("Hello there"));
    ASSERT_EQ(box->toc().length(), 5u);
    std::string subject, from;
    box->loadSubject(4, subject, from);
    EXPECT_EQ(subject, "Hello there");
    EXPECT_TRUE(slurp(boxPath() + "/mbox").ends_with("\n\nHello there\n\n"));
}

}  // namespace
}  // namespace quill::test

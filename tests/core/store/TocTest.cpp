// The index file: golden bytes, the scan that rebuilds it, loading older and
// corrupt files, and the in-place writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "StoreFixture.h"
#include "base/FileHandles.h"
#include "store/MboxScanner.h"
#include "store/TocFormat.h"

namespace quill::test {
namespace {

using namespace tocformat;

const std::string kGolden = std::string(QUILL_SOURCE_DIR) + "/tests/core/store/data/small.toc";

// The header time follows the file system; everything else is fixed.
std::string masked(std::string toc) {
    if (toc.size() >= kHeaderSize) toc.replace(kTimeOffset, 4, 4, '\0');
    return toc;
}

class TocTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        store->set("PriorityHeader", "X-Priority");
        store->set("PriorityValues", "Highest High Normal Low Lowest");
    }
    // Boundaries (offset, length) of every entry.
    std::vector<std::pair<int, int>> boundaries(MailBox& box) {
        std::vector<std::pair<int, int>> out;
        for (std::uint32_t i = 0; i < box.toc().length(); ++i) {
            out.emplace_back(box.tocInfoAt(i).offset, box.tocInfoAt(i).length);
        }
        return out;
    }
    std::unique_ptr<MailBox> openSmall() {
        makeBox(smallMbox());
        auto box = open();
        EXPECT_TRUE(box);
        return box;
    }
    // The index the small mailbox gets, its "mbox" time kept for openWithIndex.
    std::string goodIndex() {
        openSmall().reset();
        struct stat st;
        ::stat((boxPath() + "/mbox").c_str(), &st);
        m_mboxTime = st.st_mtime;
        return tocBytes();
    }
    // Opens the mailbox over these index bytes, dated like "mbox" so they are trusted.
    std::unique_ptr<MailBox> openWithIndex(const std::string& toc) {
        spit(tocPath(), toc);
        touchMbox(m_mboxTime);
        logLines.clear();
        return open();
    }
    time_t m_mboxTime = 0;
};

TEST_F(TocTest, IndexOfSmallMailboxMatchesGoldenBytes) {
    auto box = openSmall();
    ASSERT_TRUE(box);
    std::string toc = masked(tocBytes());
    if (std::getenv("QUILL_UPDATE_GOLDEN")) spit(kGolden, toc);
    EXPECT_EQ(toc, slurp(kGolden));
    EXPECT_EQ(logCount("Notes.attach"), 1);  // the missing attachment directory
}

TEST_F(TocTest, EntriesOfSmallMailbox) {
    auto box = openSmall();
    ASSERT_TRUE(box);
    ASSERT_EQ(box->toc().length(), 4u);
    std::string mbox = smallMbox();
    const TocEntry& first = box->tocInfoAt(0);
    EXPECT_EQ(first.offset, static_cast<int>(mbox.find("From alice")));  // preamble skipped
    EXPECT_EQ(first.offset + first.length, static_cast<int>(mbox.find("From bob")));
    EXPECT_EQ(first.date, std::uint32_t(1997 * 512 + 3 * 32 + 13));
    // The correct Content-Length keeps "From here on" inside the second message.
    EXPECT_EQ(box->tocInfoAt(1).offset + box->tocInfoAt(1).length,
              static_cast<int>(mbox.find("From tester")));
    EXPECT_EQ(box->tocInfoAt(1).type, 'm');
    EXPECT_EQ(box->tocInfoAt(1).priority, 2u);
    EXPECT_EQ(box->tocInfoAt(3).type, 'r');
    EXPECT_EQ(box->tocInfoAt(3).encrypted, 'e');
    EXPECT_EQ(box->tocInfoAt(3).offset + box->tocInfoAt(3).length, static_cast<int>(mbox.size()));

    std::string subject, from;
    box->loadSubject(1, subject, from);
    EXPECT_EQ(subject, "Caf\xe9 plans");
    EXPECT_EQ(from, "Bob");
    box->loadSubject(2, subject, from);
    EXPECT_EQ(from, "To: Bob");  // stored as "(To: Bob <bob@example.com>)"
    box->loadSubject(3, subject, from);
    EXPECT_EQ(from, "Carol C");
    EXPECT_EQ(box->toc().loadAttach(3), "Notes.attach");
}

TEST_F(TocTest, EmptyMboxGivesBareHeader) {
    makeBox("");
    auto box = open();
    ASSERT_TRUE(box);
    std::string toc = tocBytes();
    ASSERT_EQ(toc.size(), kHeaderSize);
    EXPECT_EQ(getU32(toc.data()), kMagic);
    EXPECT_EQ(getI32(toc.data() + kCountOffset), 0);
    EXPECT_TRUE(panels->progress().empty());  // nothing to scan, no panel
}

TEST_F(TocTest, ContentLengthOnlyTrustedWhenItLandsOnFromLine) {
    std::string body = "line\nFrom the desk of Bob\nmore\n";
    auto mbox = [&](const std::string& length) {
        return "From a Thu Mar 13 10:02:07 1997\nContent-Length: " + length + "\n\n" + body +
               "\nFrom b Thu Mar 13 10:02:07 1997\nSubject: b\n\nx\n";
    };
    makeBox(mbox("999999"), "Plain.mbox");  // wrong and beyond the end: reached the end
    makeBox(mbox("7"), "Wrong.mbox");       // wrong: lands mid-body
    makeBox(mbox("x"), "None.mbox");        // not a number
    makeBox(mbox(std::to_string(body.size())), "Right.mbox");
    auto none = open("None.mbox");
    auto wrong = open("Wrong.mbox");
    auto right = open("Right.mbox");
    auto plain = open("Plain.mbox");
    ASSERT_TRUE(none && wrong && right && plain);
    EXPECT_EQ(none->toc().length(), 3u);
    EXPECT_EQ(boundaries(*wrong), boundaries(*none));
    EXPECT_EQ(right->toc().length(), 2u);
    EXPECT_EQ(plain->toc().length(), 1u);
}

TEST_F(TocTest, HeaderEndsAtFromLineAndLongLinesAreCut) {
    std::string longLine = "Subject: " + std::string(3000, 'a') + "\n";
    makeBox("From a Thu Mar 13 10:02:07 1997\n" + longLine +
            "From b Thu Mar 13 10:02:07 1997\nTo: x\n\n");
    auto box = open();
    ASSERT_TRUE(box);
    ASSERT_EQ(box->toc().length(), 2u);
    std::string subject, from;
    box->loadSubject(0, subject, from);
    EXPECT_EQ(subject.size(), 1023u - 9u);
    EXPECT_EQ(from, "a");
}

TEST_F(TocTest, SunAndVoiceTypes) {
    makeBox(
        "From a Thu Mar 13 10:02:07 1997\nContent-Type: X-sun-attachment\n\nx\n"
        "From b Thu Mar 13 10:02:07 1997\nContent-Type: text/plain; charset=x\n\nx\n"
        "From c Thu Mar 13 10:02:07 1997\nZell-Reference: .voxclip, 1/1\n\nx\n");
    auto box = open();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->tocInfoAt(0).type, 's');
    EXPECT_EQ(box->tocInfoAt(1).type, ' ');
    EXPECT_EQ(box->tocInfoAt(2).type, 'v');
    EXPECT_EQ(box->tocInfoAt(2).encrypted, ' ');
}

TEST_F(TocTest, ValidIndexIsLoadedWithoutScanning) {
    openSmall().reset();
    std::string before = tocBytes();
    // A changed "mbox" with the same time is not rescanned: the index is trusted.
    struct stat st;
    ::stat((boxPath() + "/mbox").c_str(), &st);
    spit(boxPath() + "/mbox", smallMbox() + "From z Thu Mar 13 10:02:07 1997\n\n");
    touchMbox(st.st_mtime);
    auto box = open();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->toc().length(), 4u);
    EXPECT_EQ(tocBytes(), before);
}

TEST_F(TocTest, TimeOneSecondOffRebuildsWithPanel) {
    openSmall().reset();
    struct stat st;
    ::stat((boxPath() + "/mbox").c_str(), &st);
    touchMbox(st.st_mtime + 1);
    auto box = open();
    ASSERT_TRUE(box);
    ASSERT_EQ(panels->progress().size(), 2u);
    EXPECT_EQ(panels->progress()[1].title, "Open Mailbox");
    EXPECT_EQ(panels->progress()[1].messages.at(0),
              "Rebuilding table of contents for " + boxPath() + ".  Please wait...");
    EXPECT_EQ(getI32(tocBytes().data() + kTimeOffset), st.st_mtime + 1);
}

TEST_F(TocTest, CancelledRebuildFailsTheOpening) {
    makeBox(smallMbox());
    panels->cancelProgressAfter(2);
    panels->answer(0);  // the index cannot be opened
    panels->answer(0);  // nor, therefore, the mailbox
    EXPECT_FALSE(open());
    EXPECT_NE(::access((boxPath() + "/.lock").c_str(), F_OK), 0);
    EXPECT_EQ(panels->alerts().at(0).title, "File system error");
    // A second opening rebuilds from scratch.
    EXPECT_TRUE(open());
}

// Every byte of a good index flipped, and the file cut at every length: the
// mailbox still opens, and a rejected index is rebuilt once with two log lines.
TEST_F(TocTest, CorruptIndexNeverCrashesAndRebuildsOnce) {
    const std::string good = goodIndex();
    ::mkdir((boxPath() + "/Notes.attach").c_str(), 0755);  // so a rebuild logs only its two lines
    auto tryOpen = [&](const std::string& toc, const std::string& what) {
        SCOPED_TRACE(what);
        auto b = openWithIndex(toc);
        ASSERT_TRUE(b);
        EXPECT_EQ(b->toc().length(), 4u);
        int rebuilt = static_cast<int>(std::count(
            logLines.begin(), logLines.end(), "Rebuilding table of contents: " + tocPath() + "\n"));
        EXPECT_LE(rebuilt, 1);
        if (rebuilt) {
            EXPECT_EQ(logLines.size(), 2u);
        }
        panels->clear();
    };
    for (std::size_t i = 0; i < good.size(); ++i) {
        for (unsigned char mask : {0x01, 0xff}) {
            std::string bad = good;
            bad[i] = static_cast<char>(bad[i] ^ mask);
            tryOpen(bad, "flip " + std::to_string(i) + " by " + std::to_string(mask));
        }
    }
    for (std::size_t n = 0; n < good.size(); ++n)
        tryOpen(good.substr(0, n), "cut at " + std::to_string(n));
}

TEST_F(TocTest, ImpossibleDatesAndOffsetsAreRejected) {
    const std::string good = goodIndex();
    auto dateOf = [](int y, int m, int d) {
        return static_cast<std::uint32_t>(y * 512 + m * 32 + d);
    };
    struct Row {
        const char* name;
        std::size_t field;
        std::uint32_t value;
    } rows[] = {
        {"month 13", kDateOffset, dateOf(1997, 13, 1)},
        {"day 0", kDateOffset, dateOf(1997, 3, 0)},
        {"year 10000", kDateOffset, dateOf(10000, 3, 1)},
        {"beyond the file", kLengthOffset, 1u << 30},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string bad = good;
        putU32(bad.data() + kHeaderSize + row.field, row.value);
        ASSERT_TRUE(openWithIndex(bad));
        EXPECT_EQ(logCount("Date of message corrupt"), 1);
        EXPECT_EQ(masked(tocBytes()), masked(good));
    }
}

TEST_F(TocTest, CountsTheRecordsCannotHoldAreRebuiltNotReserved) {
    const std::string good = goodIndex();
    struct Row {
        const char* name;
        std::uint32_t count;
        const char* reason;
    } rows[] = {
        {"largest", 0x7fffffff, "Index claims 2147483647 messages, more than its records hold"},
        {"one more", 5, "Error reading mailfile"},
        {"one fewer", 3, "Error reading mailfile"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string bad = good;
        putU32(bad.data() + kCountOffset, row.count);
        auto box = openWithIndex(bad);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->toc().length(), 4u);
        EXPECT_EQ(logCount(row.reason), 1);
        EXPECT_EQ(logCount("Rebuilding table of contents: " + tocPath()), 1);
        box.reset();
        EXPECT_EQ(masked(tocBytes()), masked(good));
        panels->clear();
    }
}

// An index held in memory is checked as the file is, except for the header's
// time; damage is rebuilt from the "mbox" bytes into the entries a rebuild on
// disk gives. Record 0 carries a deletion mark only the index knows.
TEST_F(TocTest, IndexInMemoryIsCheckedAndRebuiltAsOnDisk) {
    std::string good = goodIndex();
    auto disk = open();
    ASSERT_TRUE(disk);
    good[kHeaderSize + kStatusOffset] = 'd';
    struct Row {
        const char* name;
        std::size_t at;  // where `word` goes; npos: the index is cut to 20 bytes
        std::uint32_t word;
        bool rebuilt;
    } rows[] = {
        {"as written", kCountOffset, 4, false},
        {"another time", kTimeOffset, 12345, false},
        {"bad magic", 0, kMagic ^ 1, true},
        {"count beyond the records", kCountOffset, 0x7fffffff, true},
        {"negative count", kCountOffset, 0xffffffff, true},
        {"message beyond mbox", kHeaderSize + kLengthOffset, 1u << 30, true},
        {"cut short", std::string::npos, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string index = good;
        if (row.at == std::string::npos) {
            index.resize(20);
        } else {
            putU32(index.data() + row.at, row.word);
        }
        MailContext context = mailContext();
        Toc memory(context);
        ASSERT_TRUE(memory.openInMemory(index, smallMbox()));
        ASSERT_EQ(memory.length(), disk->toc().length());
        EXPECT_EQ(memory.entry(0).status.isDeleted(), !row.rebuilt);
        for (int i = 0; i < 4; ++i) {
            const TocEntry &m = memory.entry(i), &d = disk->tocInfoAt(i);
            EXPECT_EQ(std::tie(m.offset, m.length, m.date, m.type, m.size, m.priority),
                      std::tie(d.offset, d.length, d.date, d.type, d.size, d.priority));
            std::string subject, from, diskSubject, diskFrom;
            memory.loadSubject(i, subject, from);
            disk->loadSubject(i, diskSubject, diskFrom);
            EXPECT_EQ(subject + from, diskSubject + diskFrom);
        }
    }
}

TEST_F(TocTest, AttachmentSizesSaturateAndMailboxTotalsDoNotOverflow) {
    std::string toc = goodIndex();
    // The attachment word of every record set to the largest and the smallest size.
    std::size_t at = kHeaderSize;
    for (int i = 0; at < toc.size(); ++i) {
        std::int32_t length = getI32(toc.data() + at);
        putU32(toc.data() + at + length - 12, i % 2 ? 0x80000000u : 0x7fffffffu);
        at += static_cast<std::size_t>(length);
    }
    auto box = openWithIndex(toc);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->toc().entry(0).size, INT32_MAX);
    EXPECT_EQ(box->toc().entry(1).size, box->toc().entry(1).length);
    std::int64_t total = 0;
    for (std::uint32_t i = 0; i < box->toc().length(); ++i) total += box->toc().entry(i).size;
    EXPECT_GT(total, INT32_MAX);
    EXPECT_EQ(box->toc().getMailboxStatus().size, total);
}

// An index of an earlier version: records stop after their strings.
std::string oldIndex(const std::string& good, std::int32_t time) {
    std::string out = good.substr(0, kHeaderSize);
    putU32(out.data() + kTimeOffset, static_cast<std::uint32_t>(time));
    std::size_t p = kHeaderSize;
    while (p < good.size()) {
        std::uint32_t length = getU32(good.data() + p);
        std::string rec = good.substr(p, length - 12);
        putU32(rec.data(), static_cast<std::uint32_t>(rec.size()));
        out += rec;
        p += length;
    }
    return out;
}

TEST_F(TocTest, OlderRecordsLoadAndAreUpgraded) {
    const std::string good = goodIndex();
    ::mkdir((boxPath() + "/Notes.attach").c_str(), 0755);
    spit(boxPath() + "/Notes.attach/index.rtf", "{\\rtf1 notes}");
    std::string old = oldIndex(good, static_cast<std::int32_t>(m_mboxTime));
    auto box = openWithIndex(old);
    ASSERT_TRUE(box);
    // Loaded as written, then upgraded: only the "r" record gains its words.
    std::string now = tocBytes();
    EXPECT_EQ(now.size(), old.size() + 8);
    EXPECT_FALSE(box->toc().needUpdate());
    const TocEntry& e = box->tocInfoAt(3);
    EXPECT_EQ(e.recordLength, getI32(now.data() + e.tocPosition));
    EXPECT_GT(e.size, e.length);  // the directory's disk usage was added
    EXPECT_NE(e.attachTime, 0);
    EXPECT_EQ(box->tocInfoAt(1).priority, 0u);  // older records have none
    EXPECT_EQ(box->checkAttachmentSizeForMessageAt(3), 0);
}

// Summaries read in large pieces are those read a record at a time, whatever
// the record lengths (older records, appended ones) and the range asked for.
TEST_F(TocTest, SummariesInOnePassMatchRecordByRecord) {
    const std::string good = goodIndex();
    auto box = openWithIndex(oldIndex(good, static_cast<std::int32_t>(m_mboxTime)));
    ASSERT_TRUE(box);
    ASSERT_TRUE(box->getMail("From dave Mon Mar 17 10:00:00 1997\nSubject: New\n\nhello\n"));
    const int count = static_cast<int>(box->toc().length());
    struct Range {
        int first, count;
        std::vector<int> expected;
    };
    const std::vector<Range> ranges = {
        {0, count, {0, 1, 2, 3, 4}}, {1, 2, {1, 2}}, {3, 10, {3, 4}}, {-2, 3, {0}}, {count, 1, {}}};
    for (const Range& range : ranges) {
        std::vector<int> seen;
        box->loadSubjects(range.first, range.count,
                          [&](int index, std::string& subject, std::string& from) {
                              std::string oneSubject, oneFrom;
                              box->loadSubject(index, oneSubject, oneFrom);
                              EXPECT_EQ(subject, oneSubject) << index;
                              EXPECT_EQ(from, oneFrom) << index;
                              seen.push_back(index);
                          });
        EXPECT_EQ(seen, range.expected) << range.first << "+" << range.count;
    }
}

TEST_F(TocTest, StatusWritesGoToTheRecordInPlace) {
    auto box = openSmall();
    ASSERT_TRUE(box);
    auto statusInFile = [&](int i) {
        return tocBytes()[box->tocInfoAt(i).tocPosition + kStatusOffset];
    };
    EXPECT_EQ(box->setState(MessageStatus::kUnread, 0, true), MessageStatus::kRead);
    EXPECT_EQ(statusInFile(0), 'u');
    box->deleteMessages({1, 2});
    box->setCurMsg(2);
    EXPECT_EQ(statusInFile(2), 'D');
    box->setCurMsg(0);
    EXPECT_EQ(statusInFile(2), 'd');
    EXPECT_EQ(statusInFile(0), '>');
    EXPECT_EQ(box->toc().selectedMsg(), 0);
    EXPECT_EQ(box->undeleteMsg(), 2);
    box->setCurMsg(-1);
    EXPECT_EQ(box->toc().selectedMsg(), -1);

    MailboxStatus s = box->getMailboxStatus();
    EXPECT_EQ(s.count, 4);
    EXPECT_EQ(s.deletedCount, 2);
    EXPECT_EQ(s.unreadCount, 0);
    const MsgList& list = box->getMsgList();
    ASSERT_EQ(list.count(), 4u);
    EXPECT_EQ(list.at(1).flags, kMsgRead | kMsgDeleted | kMsgMime);
    EXPECT_EQ(list.at(3).flags, kMsgRead | kMsgAttachment | kMsgEncrypted);
    box->rmEncr(3);
    EXPECT_EQ(tocBytes()[box->tocInfoAt(3).tocPosition + kEncryptedOffset], ' ');
}

// A status write the index refuses is told, not lost: the index descriptor is
// swapped for a read-only one of the same file.
TEST_F(TocTest, RefusedStatusWriteIsReported) {
    auto box = openSmall();
    ASSERT_TRUE(box);
    int held = -1;
    for (int fd = 3; fd < 256 && held < 0; ++fd) {
        char target[4096] = {};
        std::string link = "/proc/self/fd/" + std::to_string(fd);
        if (::readlink(link.c_str(), target, sizeof target - 1) > 0 && tocPath() == target) {
            held = fd;
        }
    }
    ASSERT_GE(held, 0);
    UniqueFd readOnly = openFile(tocPath(), O_RDONLY);
    ASSERT_EQ(::dup2(readOnly.get(), held), held);
    panels->answer(0);
    EXPECT_EQ(box->setState(MessageStatus::kUnread, 0, true), MessageStatus::kRead);
    EXPECT_TRUE(box->getStateForMsg(0).isUnread());
    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].message,
              "Unable to write " + tocPath() + ".  File system error: " + std::strerror(EBADF));
}

// The status counters and the current-message marks are kept between calls;
// they must agree with a fresh walk of the index after every kind of change.
TEST_F(TocTest, KeptStatusAndCurrentMarksFollowEveryChange) {
    auto box = openSmall();
    ASSERT_TRUE(box);
    auto marks = [&] {
        std::string m;
        for (int i = 0; i < 4; ++i) m += tocBytes()[box->tocInfoAt(i).tocPosition + kStatusOffset];
        return m;
    };
    auto expectFreshStatus = [&] {
        MailboxStatus kept = box->getMailboxStatus(), fresh;
        for (int i = 0; i < 4; ++i) {
            const TocEntry& e = box->tocInfoAt(i);
            bool deleted = e.status.isDeleted(), unread = e.status.isNew();
            fresh.deletedCount += deleted;
            fresh.deletedSize += deleted ? e.size : 0;
            fresh.unreadCount += unread;
            fresh.unreadSize += unread ? e.size : 0;
        }
        EXPECT_EQ(kept.deletedCount, fresh.deletedCount);
        EXPECT_EQ(kept.deletedSize, fresh.deletedSize);
        EXPECT_EQ(kept.unreadCount, fresh.unreadCount);
        EXPECT_EQ(kept.unreadSize, fresh.unreadSize);
    };
    box->getMailboxStatus();
    box->setState(MessageStatus::kCurrent, 1, true);  // two marks before any walk
    box->setState(MessageStatus::kDeletedCurrent, 3, true);
    box->setCurMsg(2);
    EXPECT_EQ(marks(), "  >d");
    box->setState(MessageStatus::kCurrent, 0,
                  true);  // a mark set behind the current message's back
    box->setState(MessageStatus::kNew, 1, true);
    box->setCurMsg(3);
    EXPECT_EQ(marks(), " * D");
    expectFreshStatus();
    box->deleteMessages({0});
    box->setCurMsg(-1);
    EXPECT_EQ(marks(), "d* d");
    expectFreshStatus();
}

TEST_F(TocTest, AppendedMailIsIndexedAfterTheOldEnd) {
    auto box = openSmall();
    ASSERT_TRUE(box);
    box->setState(MessageStatus::kFlagged, 0, true);
    const MsgList* list =
        box->getMail("From dave@example.com Mon Mar 17 10:00:00 1997\nSubject: New\n\nhello\n");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->count(), 5u);
    EXPECT_EQ(list->at(0).flags & kMsgFlagged, kMsgFlagged);  // kept, not rebuilt
    std::string toc = tocBytes();
    EXPECT_EQ(getI32(toc.data() + kCountOffset), 5);
    box.reset();
    panels->clear();
    box = open();  // the index matches the new "mbox" without a rebuild
    ASSERT_TRUE(box);
    EXPECT_TRUE(panels->progress().empty());
    EXPECT_EQ(box->toc().length(), 5u);
    EXPECT_EQ(box->getStateForMsg(0), MessageStatus::kFlagged);
}

TEST_F(TocTest, ScannerAloneFindsFromLinesAnywhereForTheFirstMessage) {
    std::string text = "xxFrom a\nbody\nFrom b\n";
    MboxWindow window(text);
    MboxScanner scanner(window, {});
    ASSERT_TRUE(scanner.seekFirst(0));
    ScannedMessage m;
    ASSERT_TRUE(scanner.next(m));
    EXPECT_EQ(m.record.offset, 2);
    EXPECT_EQ(m.record.length, 12);
    ASSERT_TRUE(scanner.next(m));
    EXPECT_EQ(m.record.sender, "b");
    EXPECT_FALSE(scanner.next(m));
    EXPECT_EQ(findFromLine("\n\nFrom x", 0), 1u);
    EXPECT_EQ(findFromLine("\nFrom", 0), std::string_view::npos);
}

// Header lines that cannot hold a field the index keeps are passed over in
// bulk; every line that can, or that ends the header, is still read.
TEST_F(TocTest, ScannerReadsEveryHeaderLineThatMatters) {
    const std::string from = "From a@example.com Thu Mar 13 10:02:07 1997\n";
    const std::string junk = "Received: from relay.example.net by mx.example.org;\n\tid 42\n";
    struct Row {
        const char* name;
        std::string text;
        const char* subject;
        std::uint32_t priority;
        int messages;
    } rows[] = {
        {"fields after long lines", from + junk + junk + "Subject: found\n\nbody\n", "found", 0, 1},
        {"continuation lines are no fields", from + junk + "\tSubject: no\nSubject: yes\n\n", "yes",
         0, 1},
        {"lower-case names", from + "x-junk: 1\nsubject: low\n\n", "low", 0, 1},
        {"a CRLF blank line ends the header", from + junk + "\r\nSubject: body\r\n", "", 0, 1},
        {"a From line ends the header",
         from + junk + "From b Thu Mar 13 10:02:07 1997\nSubject: b\n", "", 0, 2},
        {"the priority header's own letter", from + junk + "X-Priority: 2\n\n", "", 2, 1},
        {"a header cut by the end of the file", from + junk + "Subject: cut", "cut", 0, 1},
    };
    ScanSettings settings;
    settings.priorityHeader = "X-Priority";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MboxScanner scanner(row.text, settings);
        ASSERT_TRUE(scanner.seekFirst(0));
        ScannedMessage m;
        ASSERT_TRUE(scanner.next(m));
        EXPECT_EQ(m.record.subject, row.subject);
        EXPECT_EQ(m.record.priority, row.priority);
        int n = 1;
        while (scanner.next(m)) ++n;
        EXPECT_EQ(n, row.messages);
    }
}

TEST_F(TocTest, LinesStartingWithEitherText) {
    struct Row {
        std::string_view text;
        std::size_t from;
        std::size_t at;
    } rows[] = {
        {"Zell at the start is no line start\n", 0, std::string_view::npos},
        {"a\nRecv\nZell", 0, 1},
        {"0123456789abcdef0123456789\nRecv and more text after it", 0, 26},
        {"0123456789abcdef0123456789\nRecv\nZell", 27, 31},
        {"\nRec\nZel", 0, std::string_view::npos},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(findLineStarting(row.text, row.from, "Recv", "Zell"), row.at);
    }
}

// The file is read in pieces: "From " lines, header lines and long lines
// that straddle a piece boundary are found as in one piece.
TEST_F(TocTest, ScanAcrossReadBoundaries) {
    std::string mbox;
    const std::size_t piece = MboxWindow::kPieceSize;
    auto message = [&](const std::string& subject) {
        mbox += "From a Thu Mar 13 10:02:07 1997\nSubject: " + subject + "\n\n";
    };
    for (int i = 0; mbox.size() < 12 * piece; ++i) {
        // Header lines of no interest, of many lengths, so that piece
        // boundaries fall in and between them.
        mbox += "From a Thu Mar 13 10:02:07 1997\n";
        for (int line = 0; line < i % 7; ++line) mbox.append("X-").append(i % 41, 'h') += '\n';
        mbox += "Subject: m" + std::to_string(i) + "\n\n";
        mbox += std::string(1000 + 37 * (i % 50), 'x') + "\n\n";
    }
    message("long");  // a line longer than a piece
    mbox += std::string(piece + 100, 'y') + "\n\n";
    message("last");
    std::string path = writeFile("big", mbox);
    MboxWindow inMemory(mbox);
    UniqueFd fd = openFile(path, O_RDONLY);
    MboxWindow fromFile(fd.get(), mbox.size());
    MboxScanner a(inMemory, {}), b(fromFile, {});
    ASSERT_TRUE(a.seekFirst(0) && b.seekFirst(0));
    ScannedMessage ma, mb;
    int n = 0;
    while (a.next(ma)) {
        ASSERT_TRUE(b.next(mb));
        ASSERT_EQ(ma.record.offset, mb.record.offset);
        ASSERT_EQ(ma.record.length, mb.record.length);
        ASSERT_EQ(ma.record.subject, mb.record.subject);
        ++n;
    }
    EXPECT_FALSE(b.next(mb));
    EXPECT_EQ(ma.record.subject, "last");
    EXPECT_GT(n, 1000);
}

}  // namespace
}  // namespace quill::test

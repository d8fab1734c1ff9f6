// Taking fetched mail into a mailbox, and the direct path from the spool.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "NewMailTest.h"
#include "newmail/IncomingFiles.h"
#include "newmail/Incorporation.h"
#include "process/RunCommand.h"
#include "settings/Defaults.h"
#include "store/AttachmentFilter.h"
#include "store/MailBox.h"
#include "store/TocFormat.h"

namespace quill::test {
namespace {

using namespace tocformat;

class IncorporationTest : public NewMailTest {
  protected:
    bool exists(const std::string& name) const {
        return ::access((activeDir() + "/" + name).c_str(), F_OK) == 0;
    }
};

std::string preparedRecords(std::initializer_list<std::int32_t> lengths, std::int32_t start) {
    std::string out;
    for (std::int32_t length : lengths) {
        Record r;
        r.offset = start;
        r.length = length;
        r.date = 2026 * 512 + 12 * 32 + 6;
        r.status = MessageStatus::kNew;
        r.sender = "a@example.com";
        r.subject = "s";
        appendRecord(out, r);
        if (start >= 0) start += length;
    }
    return out;
}

TEST_F(IncorporationTest, PreparedRecordsGetOffsetsCountedFromTheStart) {
    auto box = MailBox::newMailBox(activeDir(), mailContext());
    ASSERT_TRUE(box);
    char header[kHeaderSize] = {};
    putU32(header, kMagic);
    putU32(header + kCountOffset, 3);
    // Whatever offsets the fetch program wrote are replaced.
    spit(activeDir() + "/Incoming_Table_of_Contents",
         std::string(header, kHeaderSize) + preparedRecords({10, 20, 30}, -7));
    std::string before = slurp(activeDir() + "/table_of_contents");

    EXPECT_EQ(Incorporation::incorporateToc(*box, 1000), 3);

    std::string after = slurp(activeDir() + "/table_of_contents");
    ASSERT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(after.substr(before.size()), preparedRecords({10, 20, 30}, 1000));
    EXPECT_FALSE(exists("Incoming_Table_of_Contents"));
}

std::string incomingHeader(std::int32_t count, std::string_view bytes8to31) {
    char header[kHeaderSize] = {};
    putU32(header, kMagic);
    putU32(header + kCountOffset, static_cast<std::uint32_t>(count));
    std::string out(header, kHeaderSize);
    out.replace(8, bytes8to31.size(), bytes8to31);
    return out;
}

// Files another fetch program wrote: its header bytes 8-31 mean nothing, its
// count may lag behind the records it appended, and its records may not
// cover all of its mail. Every message is incorporated, once, as new.
TEST_F(IncorporationTest, AnotherFetchProgramsFilesAreIncorporatedWhole) {
    const std::string two = message(1) + message(2);
    const std::int32_t len1 = static_cast<std::int32_t>(message(1).size());
    const std::int32_t len2 = static_cast<std::int32_t>(message(2).size());
    struct Row {
        const char* name;
        std::string toc;
    };
    const Row rows[] = {
        {"bytes 8-31 all ones",
         incomingHeader(2, std::string(24, '\xff')) + preparedRecords({len1, len2}, 0)},
        {"bytes 8-31 text",
         incomingHeader(2, "fetched by another program") + preparedRecords({len1, len2}, 0)},
        {"count behind the records", incomingHeader(1, "") + preparedRecords({len1, len2}, 0)},
        {"records short of the mail", incomingHeader(1, "") + preparedRecords({len1}, 0)},
        {"no records at all", incomingHeader(0, "")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        spit(activeDir() + "/mbox", message(100));
        ::unlink((activeDir() + "/table_of_contents").c_str());
        spit(activeDir() + "/Incoming_Mail", two);
        spit(activeDir() + "/Incoming_Table_of_Contents", row.toc);
        auto box = MailBox::newMailBox(activeDir(), mailContext());
        ASSERT_TRUE(box);
        bool atStart = false;
        ASSERT_TRUE(Incorporation::incorporateMailAtStart(*box, &atStart));
        EXPECT_EQ(slurp(activeDir() + "/mbox"), message(100) + two);
        ASSERT_EQ(box->toc().length(), 3u);
        EXPECT_EQ(box->tocInfoAt(1).offset, static_cast<std::int32_t>(message(100).size()));
        EXPECT_EQ(box->tocInfoAt(2).offset, box->tocInfoAt(1).offset + len1);
        EXPECT_TRUE(box->tocInfoAt(1).status.isNew());
        EXPECT_TRUE(box->tocInfoAt(2).status.isNew());
        EXPECT_FALSE(exists("Incoming_Mail"));
    }
}

// Bytes 8-31 that happen to name the fetch program's working copy of the spool
// do not make Quill remove that copy.
TEST_F(IncorporationTest, ForeignHeaderNeverRemovesTheSpoolCopy) {
    spit(activeDir() + "/Copy_of_Spoolfile", message(7));
    IncomingFiles::CopyMark copy = IncomingFiles::copyMarkOf(activeDir() + "/Copy_of_Spoolfile");
    char marks[24] = {};
    for (int i = 0; i < 8; ++i) {
        marks[i] = static_cast<char>(copy.inode >> (56 - 8 * i));
        marks[8 + i] = static_cast<char>(copy.size >> (56 - 8 * i));
    }
    spit(activeDir() + "/Incoming_Mail", message(1));
    spit(activeDir() + "/Incoming_Table_of_Contents",
         incomingHeader(1, std::string(marks, 24)) +
             preparedRecords({static_cast<std::int32_t>(message(1).size())}, 0));
    EXPECT_EQ(incorporate(), 1);
    EXPECT_EQ(slurp(activeDir() + "/Copy_of_Spoolfile"), message(7));
}

// What Quill's own writer leaves in the header: the mark magic, the spool
// copy taken in and the "mbox" length an incorporation began at.
TEST_F(IncorporationTest, QuillsMarksHaveAMagicValue) {
    IncomingFiles incoming(activeDir(), scanSettingsFrom(Defaults::shared(), true));
    ASSERT_TRUE(incoming.open(false));
    ASSERT_TRUE(incoming.repair());
    auto header = [&] { return slurp(activeDir() + "/Incoming_Table_of_Contents").substr(0, 32); };
    using namespace std::string_literals;
    EXPECT_EQ(header(), "\x00\x0d\x97\x58\x00\x00\x00\x00QuilMark"s + std::string(16, '\0'));
    std::string records = preparedRecords({static_cast<std::int32_t>(message(1).size())}, 0);
    ASSERT_TRUE(incoming.append(message(1), records, 1, {0x0102030405060708ULL, 0x1122}));
    EXPECT_EQ(header(),
              "\x00\x0d\x97\x58\x00\x00\x00\x01QuilMark"
              "\x01\x02\x03\x04\x05\x06\x07\x08\x00\x00\x11\x22\x00\x00\x00\x00"s);
    ASSERT_TRUE(incoming.markIncorporating(1234));
    EXPECT_EQ(header().substr(24), "\x00\x00\x11\x22\x00\x00\x04\xd3"s);
    EXPECT_EQ(slurp(activeDir() + "/Incoming_Table_of_Contents").substr(32), records);
}

TEST_F(IncorporationTest, FetchedMailIsAppendedToMboxAndIndexAsNew) {
    spit(activeDir() + "/mbox", message(100));
    deliver(0, 3);
    ASSERT_TRUE(WIFEXITED(runFetch()));
    {
        auto box = MailBox::newMailBox(activeDir(), mailContext());
        ASSERT_TRUE(box);
        bool atStart = true;
        const MsgList* list = Incorporation::incorporateMailAtStart(*box, &atStart);
        ASSERT_TRUE(list);
        EXPECT_EQ(list->count(), 4u);
        EXPECT_FALSE(atStart);
        std::int32_t offset = static_cast<std::int32_t>(message(100).size());
        for (int i = 1; i <= 3; ++i) {
            EXPECT_EQ(box->tocInfoAt(i).offset, offset);
            EXPECT_TRUE(box->tocInfoAt(i).status.isNew());
            offset += box->tocInfoAt(i).length;
        }
        EXPECT_EQ(box->mailLength(), offset);
    }
    EXPECT_EQ(slurp(activeDir() + "/mbox"), message(100) + message(0) + message(1) + message(2));
    EXPECT_FALSE(exists("Incoming_Mail"));
    EXPECT_FALSE(exists("Incoming_Table_of_Contents"));
    // The index matches "mbox": reopening keeps the new statuses instead of rebuilding.
    auto again = MailBox::newMailBox(activeDir(), mailContext());
    ASSERT_TRUE(again);
    ASSERT_EQ(again->toc().length(), 4u);
    EXPECT_TRUE(again->tocInfoAt(3).status.isNew());
}

TEST_F(IncorporationTest, MissingIncomingMailIsAFileErrorOnIt) {
    auto box = MailBox::newMailBox(activeDir(), mailContext());
    ASSERT_TRUE(box);
    panels->answer(0);
    bool atStart = false;
    EXPECT_EQ(Incorporation::incorporateMailAtStart(*box, &atStart), nullptr);
    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].title, "File system error");
    EXPECT_EQ(panels->alerts()[0].message, "Unable to open " + activeDir() +
                                               "/Incoming_Mail.  File system error: No such "
                                               "file or directory");
}

// Mail added to "mbox" by someone else after the mailbox was opened is
// indexed first; the fetched mail follows it with offsets that match.
TEST_F(IncorporationTest, MboxThatGrewMeanwhileIsIndexedBeforeTheNewMail) {
    spit(activeDir() + "/mbox", message(100));
    auto box = MailBox::newMailBox(activeDir(), mailContext());
    ASSERT_TRUE(box);
    deliver(0, 2);
    ASSERT_TRUE(WIFEXITED(runFetch()));
    spit(activeDir() + "/mbox", message(100) + message(101));
    bool atStart = false;
    const MsgList* list = Incorporation::incorporateMailAtStart(*box, &atStart);
    ASSERT_TRUE(list);
    const std::string expected = message(100) + message(101) + message(0) + message(1);
    EXPECT_EQ(slurp(activeDir() + "/mbox"), expected);
    ASSERT_EQ(box->toc().length(), 4u);
    std::int32_t offset = 0;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(box->tocInfoAt(i).offset, offset);
        offset += box->tocInfoAt(i).length;
    }
    EXPECT_EQ(offset, static_cast<std::int32_t>(expected.size()));
    EXPECT_TRUE(box->tocInfoAt(2).status.isNew());
}

TEST_F(IncorporationTest, MailTheFetchProgramStillWritesIsLeftAlone) {
    deliver(0, 1);
    ASSERT_TRUE(WIFEXITED(runFetch()));
    auto box = MailBox::newMailBox(activeDir(), mailContext());
    ASSERT_TRUE(box);
    {
        IncomingFiles writer(activeDir(), scanSettingsFrom(Defaults::shared(), true));
        ASSERT_TRUE(writer.open(false));
        EXPECT_FALSE(Incorporation::incomingIdle(activeDir()));
        panels->answer(0);
        bool atStart = false;
        EXPECT_EQ(Incorporation::incorporateMailAtStart(*box, &atStart), nullptr);
        ASSERT_EQ(panels->alerts().size(), 1u);
        EXPECT_NE(panels->alerts()[0].message.find("already in use"), std::string::npos);
        EXPECT_EQ(box->toc().length(), 0u);
    }
    EXPECT_TRUE(Incorporation::incomingIdle(activeDir()));
    bool atStart = false;
    ASSERT_TRUE(Incorporation::incorporateMailAtStart(*box, &atStart));
    EXPECT_EQ(box->toc().length(), 1u);
}

TEST_F(IncorporationTest, DirectPathJoinsBlankEndedLinesOnlyForPlatformMail) {
    std::string platform =
        "From a@example.com Sun Dec  6 04:00:00 2026\nReceived: by Zell.Mailer\n"
        "Subject: joined\n\nline one \nline two\nkept \n\n";
    std::string other =
        "From b@example.com Sun Dec  6 04:00:00 2026\nSubject: plain\n\nkeep \nthis\n\n";
    spit(spool(), platform + other);
    auto box = MailBox::newMailBox(activeDir(), mailContext());
    ASSERT_TRUE(box);
    bool atStart = true;
    ASSERT_TRUE(Incorporation::getNewMail(*box, &atStart, spool(), processLauncher()));
    EXPECT_EQ(slurp(activeDir() + "/mbox"),
              "From a@example.com Sun Dec  6 04:00:00 2026\nReceived: by Zell.Mailer\n"
              "Subject: joined\n\nline oneline two\nkept\n" +
                  other);
    EXPECT_EQ(box->toc().length(), 2u);
    EXPECT_EQ(slurp(spool()), "");
    EXPECT_FALSE(exists("mbox~"));
}

// Only a spool the filter would copy as it is may skip the filter; anything
// the filter changes or refuses must still go through it.
TEST(AttachmentFilterShortcut, OnlyUnchangedSpoolsSkipTheFilter) {
    const std::string plain =
        "From b@example.com Sun Dec  6 04:00:00 2026\nSubject: plain\n\nkeep \nthis\n\n";
    struct Row {
        const char* name;
        std::string spool;
        bool unchanged;
    } rows[] = {
        {"plain", plain + plain, true},
        {"attachment", plain + "From c@x Sun Dec  6 04:00:00 2026\nZell-Attachment: a\n\nx\n",
         false},
        {"platform mail", "From a@x\nReceived: by Zell Mailer\nSubject: s\n\nb \n" + plain, false},
        {"no header end", plain + "From d@x Sun Dec  6 04:00:00 2026\nSubject: cut", false},
        {"platform mark in a body", plain + "Received: by Zell.Mailer\n" + plain, false},
        {"mark in the last bytes", plain + "Zell-Attachment: ", false},
        {"marks not at a line start", plain + "see Zell-Attachment: and Received: by Zell\n", true},
        {"lines that only begin alike", plain + "Zell-Attach\nReceived: by Zel\nZZZ\n", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AttachmentFilter::passesUnchanged(row.spool), row.unchanged);
        std::string filtered;
        if (row.unchanged) {
            ASSERT_TRUE(AttachmentFilter("/nonexistent").filterAttachments(row.spool, filtered));
            EXPECT_EQ(filtered, row.spool);
        }
    }
}

TEST_F(IncorporationTest, DirectPathWithAnEmptySpoolSaysSo) {
    spit(spool(), "");
    auto box = MailBox::newMailBox(activeDir(), mailContext());
    ASSERT_TRUE(box);
    panels->answer(0);
    bool atStart = false;
    EXPECT_EQ(Incorporation::getNewMail(*box, &atStart, spool(), processLauncher()), nullptr);
    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].title, "New Mail");
    EXPECT_EQ(panels->alerts()[0].message, "No new mail.");
}

// A native attachment is unpacked beside "mbox" and replaced by a reference
// line, the same way whether the fetch program or the direct path took it.
TEST_F(IncorporationTest, NativeAttachmentsAreStoredAlikeByBothPaths) {
    for (const char* program : {"/usr/bin/compress", "/usr/bin/uuencode", "/usr/bin/uncompress"}) {
        if (::access(program, X_OK) != 0) GTEST_SKIP() << program << " is not installed";
    }
    std::string source = tmp() + "/Report";
    ::mkdir(source.c_str(), 0755);
    spit(source + "/TXT.rtf", "{\\rtf1 attached report}\n");
    std::ostringstream encoded;
    ASSERT_EQ(RunCommand(processLauncher())
                  .runPipe({{"tar", "cf", "-", "-C", source, "."},
                            {"compress", "-c"},
                            {"uuencode", "attachment"}},
                           nullptr, &encoded),
              0);
    std::string mail =
        "From z@example.com Sun Dec  6 04:00:00 2026\nFrom: z@example.com\nSubject: message 1\n"
        "Zell-Attachment: .tar.4711.Report, 10240, 1/1, 400, 800\nX-Other: kept\n\n" +
        encoded.str() + "\n";
    std::string otherDir = mailDir() + "/Other.mbox";
    ASSERT_TRUE(makeMailbox(otherDir).ok());

    spit(spool(), mail);
    ASSERT_TRUE(WIFEXITED(runFetch()));
    EXPECT_EQ(incorporate(), 1);
    spit(spool(), mail);
    auto other = MailBox::newMailBox(otherDir, mailContext());
    ASSERT_TRUE(other);
    bool atStart = false;
    ASSERT_TRUE(Incorporation::getNewMail(*other, &atStart, spool(), processLauncher()));

    std::string stored = slurp(activeDir() + "/mbox");
    EXPECT_EQ(stored,
              "From z@example.com Sun Dec  6 04:00:00 2026\n"
              "Zell-Reference: Report, 1/1             \n"
              "From: z@example.com\nSubject: message 1\nX-Other: kept\n\n");
    EXPECT_EQ(slurp(otherDir + "/mbox"), stored);
    EXPECT_EQ(slurp(activeDir() + "/Report/TXT.rtf"), "{\\rtf1 attached report}\n");
    EXPECT_EQ(slurp(otherDir + "/Report/TXT.rtf"), "{\\rtf1 attached report}\n");
    EXPECT_EQ(other->tocInfoAt(0).type, 'r');
}

long g_stepsLeft = 0;
void dieAtStep() {
    if (--g_stepsLeft == 0) ::raise(SIGKILL);
}

// Quill itself dies while incorporating, one step later each time; the next
// incorporation leaves every message exactly once in the mailbox and its index.
TEST_F(IncorporationTest, DeathDuringIncorporationLosesAndRepeatsNothing) {
    spit(activeDir() + "/mbox", message(100));
    int delivered = 0;
    bool finished = false;
    for (long step = 1; step < 20 && !finished; ++step) {
        deliver(delivered, delivered + 2);
        delivered += 2;
        ASSERT_TRUE(WIFEXITED(runFetch()));
        pid_t pid = ::fork();
        if (pid == 0) {
            g_stepsLeft = step;
            setFetchStepHook(dieAtStep);
            incorporate();
            _exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        finished = WIFEXITED(status);
        ::unlink((activeDir() + "/.lock").c_str());  // the dead process's
        SCOPED_TRACE("died after step " + std::to_string(step));
        EXPECT_EQ(incorporate(), delivered + 1);
        std::map<int, int> counts = countMessages(slurp(activeDir() + "/mbox"));
        for (int n = 0; n < delivered; ++n) EXPECT_EQ(counts[n], 1) << "message " << n;
    }
    EXPECT_TRUE(finished);
}

TEST_F(IncorporationTest, QuilltoolIncorporateRunsTheDirectPath) {
    std::string tool = std::string(QUILL_BIN_DIR) + "/quilltool";
    if (::access(tool.c_str(), X_OK) != 0) GTEST_SKIP() << "quilltool is not built";
    deliver(0, 2);
    std::string command =
        tool + " incorporate --spool " + spool() + " " + activeDir() + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(slurp(activeDir() + "/mbox"), message(0) + message(1));
    EXPECT_EQ(slurp(spool()), "");
    // An empty spool is told and changes nothing.
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_EQ(incorporate(), 2);
}

}  // namespace
}  // namespace quill::test

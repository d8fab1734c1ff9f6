// The two-thread index scan gives the records, in the order and with the log
// lines, of one scan from the start, wherever the split falls: inside a body
// a Content-Length protects, before undated envelopes, on an attachment
// reference, or on a header that makes the decoder complain.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/SplitScan.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;

// Messages whose index records depend on what came before them.
const std::string kMailbox =
    "From alice@example.com Mon Jan  6 09:00:00 2025\n"
    "From: Alice <alice@example.com>\nSubject: first\n\nbody\n\n"
    "From bob@example.org\n"
    "From: Bob <bob@example.org>\nSubject: undated takes the first date\n\ntext\n\n"
    "From carol@example.net Tue Feb  4 10:00:00 2025\n"
    "From: Carol <carol@example.net>\nContent-Length: 118\nSubject: protected\n\n"
    "From inside@example.com Wed Mar  5 11:00:00 2025\n"
    "Subject: not a message\n\n"
    "From inside2@example.com Thu Apr  3 12:00:00 2025\n\n"
    "From dave@example.com\n"
    "From: Dave <dave@example.com>\nSubject: =?koi8-r?Q?odd_charset?=\n\nbody\n\n"
    "From erin@example.com\n"
    "From: Erin <erin@example.com>\nZell-Reference: erin.attach, 1/1\nSubject: ref\n\nx\n\n"
    "From frank@example.com Fri May  2 13:00:00 2025\n"
    "From: Frank <frank@example.com>\nSubject: last\n\nend\n";

class SplitScanTest : public QuillTest {
  protected:
    // Every record encoded, held messages marked, plus the log lines.
    std::string scan(std::size_t split) {
        logLines.clear();
        std::string out;
        SplitScan::Receiver receiver;
        receiver.message = [&](ScannedMessage& msg) {
            out += msg.hasReference ? "held:" : "main:";
            tocformat::appendRecord(out, msg.record);
            return true;
        };
        receiver.records = [&](std::string_view records, int count) {
            // Marked one by one, as one scan gives them.
            for (; count > 0; --count) {
                std::size_t length = getU32(records.data());
                out += "main:";
                out.append(records.substr(0, length));
                records.remove_prefix(length);
            }
            EXPECT_TRUE(records.empty());
            return true;
        };
        receiver.progress = [](std::size_t) { return true; };
        MboxWindow window(kMailbox);
        SplitScan scanner(window, ScanSettings{});
        EXPECT_TRUE(scanner.run(0, split, receiver));
        for (const std::string& line : logLines) out += "log:" + line;
        return out;
    }
};

TEST_F(SplitScanTest, EverySplitGivesTheRecordsOfOneScan) {
    std::string whole = scan(std::string_view::npos);
    ASSERT_NE(whole.find("log:"), std::string::npos) << "the broken word should be logged";
    for (std::size_t split = 1; split < kMailbox.size(); ++split) {
        ASSERT_EQ(scan(split), whole) << "split at " << split;
    }
}

// Stopping through progress, or refusing the worker's records or a held
// message handed over with them, ends the run with false.
TEST_F(SplitScanTest, StoppingOrRefusingEndsTheRun) {
    struct Row {
        const char* name;
        int progressCalls, records, heldMessages;  // answers true this many times
    } rows[] = {
        {"stopped_while_the_worker_scans", 1, 99, 99},
        {"worker_records_refused", 99, 0, 99},
        {"last_run_of_worker_records_refused", 99, 1, 99},
        {"held_worker_message_refused", 99, 99, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        int progress = row.progressCalls, records = row.records, held = row.heldMessages;
        SplitScan::Receiver receiver;
        receiver.message = [&](ScannedMessage& msg) { return !msg.hasReference || held-- > 0; };
        receiver.records = [&](std::string_view, int) { return records-- > 0; };
        receiver.progress = [&](std::size_t) { return progress-- > 0; };
        MboxWindow window(kMailbox);
        SplitScan scanner(window, ScanSettings{});
        EXPECT_FALSE(scanner.run(0, kMailbox.size() / 2, receiver));
    }
}

}  // namespace
}  // namespace quill

// The header record of the message last loaded.
#include <gtest/gtest.h>

#include "store/Message.h"

namespace quill {
namespace {

using List = std::vector<std::string>;

TEST(MessageTest, ContinuationLinesExtendValueAndAddressList) {
    Message m;
    m.readMessage("From x Thu Mar 13 10:02:07 1997\nTo: a@x, b@x\n\tc@x\nSubject: hi\n\nbody\n");
    EXPECT_EQ(m.emptyGet("to:"), "a@x, b@x c@x");
    EXPECT_EQ(*m.getList("To:"), (List{"a@x", "b@x", "c@x"}));
    EXPECT_EQ(m.emptyGet("Subject:"), "hi");
    EXPECT_EQ(m.endHeader(), 63);
}

TEST(MessageTest, RepeatedKeyKeepsLastValueAndAllAddresses) {
    Message m;
    m.readMessage("Cc: a@x\nX-Other: y\n more\ncc: b@x ,, c@x\n");
    EXPECT_EQ(m.emptyGet("Cc:"), "b@x ,, c@x");
    EXPECT_EQ(*m.getList("CC:"), (List{"a@x", "b@x", "c@x"}));
    EXPECT_EQ(m.endHeader(), 40);  // no blank line: the whole length
    EXPECT_EQ(m.get("X-Other:"), nullptr);
}

TEST(MessageTest, ReloadForgetsThePreviousMessage) {
    Message m;
    m.readMessage("To: a@x\nZell-Reference: Doc.attach, 1/1, E\n\n");
    EXPECT_EQ(m.getAttach(), "Doc.attach");
    EXPECT_TRUE(m.wasSentFromZell());
    m.readMessage("Subject: s\n\n");
    EXPECT_EQ(m.getList("To:"), nullptr);
    EXPECT_FALSE(m.haveAttach());
    EXPECT_FALSE(m.getAttach());
}

TEST(MessageTest, ReadReceiptNeedsZellReceivedWithMarker) {
    struct Row {
        const char* received;
        bool receipt, zell;
    } rows[] = {
        {"by Zell.Mailer (x 1.0.RR)", true, true},
        {"by Zell.Mailer (x 1.0)", false, true},
        {"from host by mx (x.RR)", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.received);
        Message m;
        m.readMessage(std::string("Received: ") + row.received + "\n\n");
        EXPECT_EQ(m.readReceipt(), row.receipt);
        EXPECT_EQ(m.wasSentFromZell(), row.zell);
    }
}

TEST(MessageTest, DateAndOverlongLines) {
    Message m;
    std::string longLine = "Subject: " + std::string(1100, 's') + "\n";
    m.readMessage("Date: Thu, 13 Mar 1997 10:02:07 -0800\n" + longLine + "\n");
    auto tm = m.date();
    ASSERT_TRUE(tm);
    EXPECT_EQ(tm->tm_year, 97);
    EXPECT_EQ(tm->tm_mday, 13);
    EXPECT_EQ(m.emptyGet("Subject:").size(), 1023u - 9);
    m.readMessage("Date: 32 Mar 1997\n\n");
    EXPECT_FALSE(m.date());
}

TEST(MessageTest, ListHelpers) {
    List a{"b", "a"};
    Message::addList(a, {"C"});
    Message::sortList(a);
    EXPECT_EQ(a, (List{"C", "a", "b"}));
}

}  // namespace
}  // namespace quill

// A new message that asks for a read receipt, shown in a mailbox window:
// "ReadReceiptOption" decides, and a message read before is never answered again.
#include <sys/stat.h>

#include <chrono>

#include "app/MailDriver.h"
#include "platform/RunLoop.h"
#include "reader/MailReader.h"
#include "settings/Defaults.h"
#include "support/FakeProcessLauncher.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

constexpr const char* kAsking =
    "From joe@x Mon Mar  4 10:00:00 2024\n"
    "Received: by Zell.Mailer (Linux 6 x86_64 Version 1.1 .RR)\n"
    "From: Joe Sender <joe@x>\n"
    "Reply-To: Joe Replies <replies@x>\n"
    "Subject: Lunch\n"
    "Date: Mon, 4 Mar 2024 10:00:00 +0000\n\nbody\n\n";

class ReadReceiptRequestTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        installProcessLauncher(launcher);
        Defaults::shared().setMailer("/bin/true");
        Defaults::shared().setDebugging(false);  // no receipt file stays in /tmp
        ::mkdir((mailDir() + "/In.mbox").c_str(), 0700);
        writeFile("home/Mail/In.mbox/mbox", kAsking);
        reopen();
    }
    // A fresh window on the message, new again.
    void reopen() {
        reader.reset();
        reader = MailReader::open(mailDir() + "/In.mbox", MailDriver::shared().mailContext(),
                                  MailDriver::shared());
        ASSERT_TRUE(reader);
        reader->mailbox().setState(MessageStatus::kNew, 0, true);
    }
    void TearDown() override {
        reader.reset();
        installProcessLauncher(nullptr);
        QuillTest::TearDown();
    }
    // Shows the message and lets the event loop take its next pass.
    void show() {
        reader->matrix().selectRow(0);
        reader->selectionDidChange();
        runLoop().runUntil([] { return false; }, std::chrono::milliseconds(20));
    }

    std::shared_ptr<test::FakeProcessLauncher> launcher =
        std::make_shared<test::FakeProcessLauncher>();
    std::unique_ptr<MailReader> reader;
};

TEST_F(ReadReceiptRequestTest, TheOptionDecidesOnce) {
    struct Case {
        int option;          // 0 "Always", 1 "Never", 2 "Ask"
        const char* answer;  // null: no question
        bool sent;
    } cases[] = {
        {0, nullptr, true},
        {1, nullptr, false},
        {2, "Yes", true},
        {2, "No", false},
    };
    for (const Case& c : cases) {
        reopen();
        *launcher = test::FakeProcessLauncher();
        Defaults::shared().setReadReceiptOption(c.option);
        if (c.answer) panels->answer(c.answer);
        show();
        show();
        ASSERT_EQ(launcher->launches().size(), c.sent ? 1u : 0u) << c.option;
        if (c.answer) {
            EXPECT_EQ(panels->alerts().back().message,
                      "Joe Replies has requested a read receipt of this message.   Do you want "
                      "to send one?");
        }
        if (c.sent) {
            EXPECT_EQ(launcher->launches()[0].request.argv.back(), "replies@x");
            EXPECT_NE(launcher->launches()[0].input.find("Your message regarding \"Lunch\""),
                      std::string::npos);
        }
    }
}

}  // namespace
}  // namespace quill

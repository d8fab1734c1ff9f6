// What "Check for New Mail" says in the active mailbox's status line.
#include <sys/wait.h>

#include "NewMailTest.h"
#include "app/MailDriver.h"
#include "reader/MailReader.h"

namespace quill::test {
namespace {

struct StatusView : MailReaderView {
    void listChanged() override {}
    void scrollToRow(int) override {}
    void messageChanged() override {}
    void setStatusText(const std::string& text) override { status = text; }
    void setStatusLineVisible(bool) override {}
    void setTitle(const std::string&) override {}
    void orderFront() override {}
    void closeWindow() override {}
    std::string status;
};

class CheckResultTest : public NewMailTest {};

TEST_F(CheckResultTest, IncorporatedMailIsCountedInTheStatusLine) {
    struct Case {
        const char* name;
        int messages;
        const char* status;
    };
    const Case cases[] = {{"one message", 1, "1 new message"},
                          {"several messages", 3, "3 new messages"}};
    int delivered = 0;
    for (const Case& c : cases) {
        deliver(delivered, delivered + c.messages);
        delivered += c.messages;
        ASSERT_TRUE(WIFEXITED(runFetch())) << c.name;
        auto reader =
            MailReader::open(activeDir(), MailDriver::shared().mailContext(), MailDriver::shared());
        ASSERT_TRUE(reader) << c.name;
        StatusView view;
        reader->setView(&view);
        reader->incorporateMail();
        EXPECT_EQ(view.status, c.status) << c.name;
        reader->setView(nullptr);
    }
}

}  // namespace
}  // namespace quill::test

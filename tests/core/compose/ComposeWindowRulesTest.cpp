// What a compose window decides around its Send: the close question and its
// three answers, and names appended from the address book.
#include <gtest/gtest.h>

#include "compose/AddressFieldAppend.h"
#include "compose/ComposeClosing.h"
#include "compose/Send.h"
#include "message/MimeMessage.h"
#include "support/FakeProcessLauncher.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

class ComposeWindowRulesTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        MailMessage::registerMailClass(MailMessage::mailClass());
        registerMimeMessageClass();
        send = std::make_unique<Send>(SendServices(mailContext(), launcher));
    }
    test::FakeProcessLauncher launcher;
    std::unique_ptr<Send> send;
};

TEST_F(ComposeWindowRulesTest, ClosingAsksOnlyWhenEditedAndKeepsTheWindowOnCancel) {
    EXPECT_TRUE(ComposeClosing::windowShouldClose(*send, *panels));
    EXPECT_TRUE(panels->alerts().empty());

    send->text().replaceSel("words");
    send->nowEditing();
    const struct {
        const char* subject;
        const char* answer;
        bool closes;
        const char* question;
    } cases[] = {
        {"", "Cancel", false, "Save untitled draft?"},
        {"Plans", "Don't Save", true, "Save draft entitled \"Plans\"?"},
        {"Plans", "Save", true, "Save draft entitled \"Plans\"?"},
    };
    for (const auto& c : cases) {
        send->setField(kFieldSubject, c.subject);
        panels->answer(c.answer);
        EXPECT_EQ(ComposeClosing::windowShouldClose(*send, *panels), c.closes) << c.answer;
        EXPECT_EQ(panels->alerts().back().message, c.question);
    }
    EXPECT_FALSE(send->editing());
    EXPECT_NE(test::slurp(mailDir() + "/Drafts.mbox/mbox").find("Subject: Plans"),
              std::string::npos);
}

TEST_F(ComposeWindowRulesTest, AppendedNamesFollowTheFieldsEnding) {
    const struct {
        std::string field, names;
        std::optional<std::string> expected;
    } cases[] = {
        {"", "ann", "ann"},
        {"ann", "bob", "ann, bob"},
        {"ann, ", "bob", "ann,  bob"},
        {"ann,", "bob", "ann, bob"},
        {std::string(1021, 'a'), "bob", std::nullopt},
    };
    for (const auto& c : cases) {
        if (!c.expected) panels->answer(0);
        EXPECT_EQ(AddressFieldAppend::appended(c.field, c.names), c.expected) << c.field;
    }
    EXPECT_EQ(panels->alerts().back().message, "String too large.");
}

}  // namespace
}  // namespace quill

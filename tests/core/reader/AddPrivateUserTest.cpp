// Add Private User: the shown message's sender joins "Private Users", saved at
// once unless the address-book window is the active window.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "addressbook/Alias.h"
#include "app/MailDriver.h"
#include "reader/MailReader.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

class AddPrivateUserTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        store->set("LoadNISAddresses", "NO");
        Alias::resetShared();
        ::mkdir((mailDir() + "/P.mbox").c_str(), 0700);
        writeFile("home/Mail/P.mbox/mbox",
                  "From a@x Mon Mar  4 10:00:00 2024\nFrom: Ann <ann@x>\nSubject: one\n\nbody\n\n"
                  "From b@x Mon Mar  4 11:00:00 2024\nSubject: no sender\n\nbody\n\n");
        reader = MailReader::open(mailDir() + "/P.mbox", MailDriver::shared().mailContext(),
                                  MailDriver::shared());
        ASSERT_TRUE(reader);
    }
    void TearDown() override {
        reader.reset();
        Alias::resetShared();
        QuillTest::TearDown();
    }
    void show(int row) {
        reader->matrix().selectRow(row);
        reader->selectionDidChange();
    }
    std::string privateFile() const { return home() + "/.config/Quill/.mailalias"; }
    std::unique_ptr<MailReader> reader;
};

TEST_F(AddPrivateUserTest, NeedsAShownMessageWithASender) {
    panels->answer(0);
    reader->perform(MailReader::Command::AddPrivateUser);
    show(1);
    panels->answer(0);
    reader->perform(MailReader::Command::AddPrivateUser);
    ASSERT_EQ(panels->alerts().size(), 2u);
    EXPECT_EQ(panels->alerts()[0].message, "Select message first");
    EXPECT_EQ(panels->alerts()[1].title, "Add Private User");
    EXPECT_EQ(panels->alerts()[1].message, "No From Field");
}

TEST_F(AddPrivateUserTest, TheSenderIsSavedUnlessTheAddressBookIsActive) {
    show(0);
    reader->perform(MailReader::Command::AddPrivateUser);
    EXPECT_EQ(test::slurp(privateFile()), "Private Users:Ann <ann@x>\n");
    Alias::shared().setWindowActive(true);
    Alias::shared().privateAliases().addPrivateName("zed@y");
    reader->perform(MailReader::Command::AddPrivateUser);
    EXPECT_EQ(test::slurp(privateFile()), "Private Users:Ann <ann@x>\n");
    EXPECT_TRUE(Alias::shared().privateAliases().modified());
}

}  // namespace
}  // namespace quill

// Every command of the mailbox window's menus: its place, its key and when it
// is available, so that no menu item is left enabled with nothing behind it.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <map>
#include <set>

#include "app/MailDriver.h"
#include "reader/ReaderCommandTable.h"
#include "settings/Defaults.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using C = MailReader::Command;
using test::QuillTest;

class ReaderCommandTableTest : public QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        std::string path = mailDir() + "/Test.mbox";
        ::mkdir(path.c_str(), 0700);
        writeFile("home/Mail/Test.mbox/mbox",
                  "From a@x Mon Mar  4 10:00:00 2024\nFrom: a@x\nSubject: one\n\nbody\n\n"
                  "From b@x Mon Mar  4 11:00:00 2024\nFrom: b@x\nSubject: two\n\nbody\n\n");
        reader = MailReader::open(path, MailDriver::shared().mailContext(), MailDriver::shared());
        ASSERT_TRUE(reader);
    }
    void TearDown() override {
        reader.reset();
        QuillTest::TearDown();
    }
    std::unique_ptr<MailReader> reader;
};

struct Availability {
    bool withoutSelection;
    bool withSelection;
};

// What each menu command answers in a plain mailbox of two messages, before
// and after the first is selected and shown.
const std::map<C, Availability>& expected() {
    static const std::map<C, Availability> table = {
        {C::NewMessage, {true, true}},
        {C::OpenMailbox, {true, true}},
        {C::Mailboxes, {true, true}},
        {C::CheckNewMail, {true, true}},
        {C::Find, {true, true}},
        {C::FindNext, {true, true}},
        {C::FindPrevious, {true, true}},
        {C::AddressBook, {true, true}},
        {C::Compact, {true, true}},
        {C::Print, {true, true}},
        {C::Preferences, {true, true}},
        {C::CloseWindow, {true, true}},
        {C::Quit, {true, true}},
        {C::NextMsg, {true, true}},
        {C::PreviousMsg, {true, true}},
        {C::FindUnread, {true, true}},
        {C::FindAllUnread, {true, true}},
        {C::Reply, {true, true}},
        {C::ReplyAll, {true, true}},
        {C::Forward, {true, true}},
        {C::WrapAndReply, {true, true}},
        {C::RestoreDraft, {true, true}},
        {C::Transfer, {false, true}},
        {C::Paste, {true, true}},
        {C::AddPrivateUser, {true, true}},
        {C::DeleteMsg, {true, true}},
        {C::DeleteOne, {true, true}},
        {C::UndeleteMsg, {false, false}},
        {C::ToggleMarkedAsRead, {false, true}},
        {C::ToggleFlagged, {false, true}},
        {C::ShowPlainMessage, {false, true}},
        {C::ShowLastAlternative, {false, false}},
        {C::ShowFirstAlternative, {false, false}},
        {C::ShowAllAlternatives, {false, false}},
        {C::ExtractAttachment, {false, false}},
        {C::CombinePartialMessages, {false, false}},
        {C::ToggleShowingAllHeaders, {false, true}},
        {C::ToggleShowingDeletions, {true, true}},
        {C::ToggleShowingSizes, {true, true}},
        {C::ToggleFixedFont, {true, true}},
        {C::Focus, {false, true}},
        {C::Unfocus, {false, false}},
        {C::SortByNumber, {true, true}},
        {C::SortByDate, {true, true}},
        {C::SortByName, {true, true}},
        {C::SortBySubject, {true, true}},
        {C::SortBySize, {true, true}},
        {C::SortByPriority, {true, true}},
    };
    return table;
}

TEST_F(ReaderCommandTableTest, EveryMenuCommandIsAvailableOnlyWhenItWorks) {
    for (bool selected : {false, true}) {
        if (selected) {
            reader->matrix().selectRow(0);
            reader->selectionDidChange();
        }
        for (const auto& row : ReaderCommandTable::rows()) {
            auto it = expected().find(row.command);
            ASSERT_NE(it, expected().end()) << row.title << " has no expected availability";
            bool want = selected ? it->second.withSelection : it->second.withoutSelection;
            EXPECT_EQ(reader->validateItem(row.command).enabled, want)
                << row.title << (selected ? " with a selection" : " without a selection");
        }
    }
}

TEST_F(ReaderCommandTableTest, CommandsAreListedOnceWithDistinctKeys) {
    std::set<C> commands;
    std::set<std::string> keys;
    for (const auto& row : ReaderCommandTable::rows()) {
        EXPECT_TRUE(commands.insert(row.command).second) << row.title;
        if (*row.key) {
            EXPECT_TRUE(keys.insert(row.key).second) << row.key;
        }
    }
}

// A reader row without an action would only beep; a window row with one would
// run twice.
TEST_F(ReaderCommandTableTest, ExactlyTheReadersRowsCarryAnAction) {
    using P = ReaderCommandTable::Performer;
    for (const auto& row : ReaderCommandTable::rows()) {
        EXPECT_EQ(row.action != nullptr, row.performer == P::Reader) << row.title;
        EXPECT_EQ(ReaderCommandTable::performedByWindow(row.command), row.performer == P::Window)
            << row.title;
    }
    EXPECT_FALSE(ReaderCommandTable::perform(*reader, C::Print, false));
    EXPECT_TRUE(ReaderCommandTable::perform(*reader, C::SortBySubject, false));
    EXPECT_EQ(reader->matrix().sortKey(), TocMatrix::SortKey::Subject);
}

TEST_F(ReaderCommandTableTest, SortByPriorityIsListedOnlyWithAPriorityHeader) {
    EXPECT_FALSE(reader->validateItem(C::SortByPriority).listed);
    Defaults::shared().setPriorityHeader("X-Priority");
    EXPECT_TRUE(reader->validateItem(C::SortByPriority).listed);
}

}  // namespace
}  // namespace quill

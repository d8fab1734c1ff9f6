// The mailbox browser over a real mail directory: the tree and its order,
// the buttons, new folders and mailboxes, deletion with its questions, and
// opening, with the application's windows faked.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "browser/MailboxBrowser.h"
#include "browser/MailboxBrowserHost.h"
#include "support/FakeProcessLauncher.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;
using ::testing::ElementsAre;

struct FakeHost : MailboxBrowserHost {
    bool openMailbox(const std::string& path) override {
        events.push_back("open " + path);
        return true;
    }
    bool isActiveMailbox(const std::string&) const override { return false; }
    void checkNewMailQuietly() override {}
    void closeMailboxWindow(const std::string& path) override {
        // The window closes while its mailbox is still there.
        bool present = ::access(path.c_str(), F_OK) == 0;
        events.push_back("close " + path + (present ? "" : " (gone)"));
    }
    bool hasSourceWindow() const override { return source; }
    bool transferSelectionTo(const std::string& path) override {
        events.push_back("transfer " + path);
        return true;
    }
    void deleteTransferred() override { events.push_back("delete"); }
    bool source = true;
    std::vector<std::string> events;
};

class MailboxBrowserTest : public QuillTest {
  protected:
    void make(std::initializer_list<const char*> directories) {
        for (const char* d : directories) std::filesystem::create_directories(mailDir() + "/" + d);
    }
    MailboxBrowser& browser() {
        if (!m_browser) {
            m_browser = std::make_unique<MailboxBrowser>(mailDir(), host, *panels, launcher);
            m_browser->show();
        }
        return *m_browser;
    }
    std::vector<std::string> titles(int column) {
        std::vector<std::string> out;
        for (const MailboxNode& node : browser().rows(column)) out.push_back(node.title());
        return out;
    }
    bool exists(const std::string& relative) {
        return ::access((mailDir() + "/" + relative).c_str(), F_OK) == 0;
    }

    FakeHost host;
    test::FakeProcessLauncher launcher;

  private:
    std::unique_ptr<MailboxBrowser> m_browser;
};

TEST_F(MailboxBrowserTest, TreeListsMailboxesAndFoldersInOrder) {
    make({"zeta.mbox", "Alpha.mbox", "beta", "_misc.mbox", "9lives.mbox", ".hidden",
          "Archive/Old.mbox", "Archive/Inner.mbox/sub"});
    writeFile("home/Mail/notes.txt", "plain file");
    EXPECT_THAT(titles(0), ElementsAre("Alpha", "Archive", "beta", "zeta", "9lives", "_misc"));
    browser().setPath("/Archive/Old");
    EXPECT_EQ(browser().selectedMailboxPath(), "Archive/Old.mbox");
    EXPECT_THAT(titles(1), ElementsAre("Inner", "Old"));  // a mailbox is never descended into
    EXPECT_TRUE(browser().rows(1)[1].mailbox);
    // Two folders each add their depth; a tree of mailboxes only is one column.
    EXPECT_EQ(browser().tree().depth(), 3);
    EXPECT_EQ(MailboxTree::scan(mailDir() + "/Archive").depth(), 1);
}

TEST_F(MailboxBrowserTest, ButtonsFollowTheSelectionAndTheTypedName) {
    make({"Inbox.mbox", "Work/Projects.mbox"});
    struct Case {
        const char* path;
        const char* typed;
        bool source;
        MailboxBrowser::Buttons expected;  // transfer, open, remove, new folder, new mailbox
    } cases[] = {
        {"/Inbox", "Inbox.mbox", true, {true, true, true, false, false}},
        {"/Inbox", "Inbox", true, {true, true, true, false, false}},
        {"/Inbox", "Other", false, {false, true, true, true, true}},
        {"/Inbox", "", true, {true, true, true, false, false}},
        {"/Work", "Inbox", true, {false, false, true, true, true}},
        {"", "x", true, {false, false, false, true, true}},
    };
    auto flags = [](const MailboxBrowser::Buttons& b) {
        return std::vector<bool>{b.transfer, b.open, b.remove, b.newFolder, b.newMailbox};
    };
    for (const Case& c : cases) {
        host.source = c.source;
        browser().setPath(c.path);
        browser().nameTextChanged(c.typed);
        browser().setPath(c.path);  // typing moved the browser; keep the case's selection
        EXPECT_EQ(flags(browser().buttons()), flags(c.expected)) << c.path << " typed " << c.typed;
    }
}

TEST_F(MailboxBrowserTest, TypingMovesToTheFirstMatchingRow) {
    make({"Alpha.mbox", "beta.mbox", "Bees.mbox"});
    browser().nameTextChanged("be");
    EXPECT_EQ(browser().stringValue(), "Bees.mbox");
    browser().nameTextChanged("beta.mbox");
    EXPECT_EQ(browser().stringValue(), "beta.mbox");
}

TEST_F(MailboxBrowserTest, NewMailboxOnAMissingPathAsksToCreateIt) {
    browser().nameTextChanged("Work/Projects");
    panels->answer("Cancel");
    browser().newMailbox();
    EXPECT_FALSE(exists("Work"));
    panels->answer("Create");
    browser().newMailbox();
    EXPECT_EQ(panels->alerts().back().message, "The path Work does not exist, create it?");
    EXPECT_TRUE(exists("Work/Projects.mbox"));
    EXPECT_THAT(host.events, ElementsAre("open " + mailDir() + "/Work/Projects.mbox"));
    EXPECT_EQ(browser().selectedMailboxPath(), "Work/Projects.mbox");
}

TEST_F(MailboxBrowserTest, NewFolderGoesIntoTheSelectedFolderAndRefusesMailboxNames) {
    make({"Work"});
    browser().setPath("/Work");
    browser().nameTextChanged("Old.mbox");
    panels->answer("OK");
    browser().newFolder();
    EXPECT_EQ(panels->alerts().back().message, "Invalid folder name");
    browser().nameTextChanged("2024");
    browser().newFolder();
    EXPECT_TRUE(exists("Work/2024"));
    EXPECT_EQ(browser().currentPath(), "Work");
    EXPECT_EQ(browser().rows(1).at(browser().selectedRow(1)).name, "2024");
    EXPECT_EQ(browser().nameText(), "");
}

TEST_F(MailboxBrowserTest, DeletingAMailboxClosesItsWindowFirst) {
    make({"Old.mbox", "Keep.mbox"});
    browser().setPath("/Old");
    panels->answer("Delete");
    browser().deleteSelected();
    EXPECT_THAT(host.events, ElementsAre("close " + mailDir() + "/Old.mbox"));
    EXPECT_FALSE(exists("Old.mbox"));
    EXPECT_THAT(titles(0), ElementsAre("Keep"));
    ASSERT_EQ(launcher.launches().size(), 1u);
    const std::vector<std::string>& argv = launcher.launches()[0].request.argv;
    EXPECT_EQ(argv[0], "/bin/rm");
    EXPECT_EQ(argv[1], "-rf");
    EXPECT_THAT(argv[2], ::testing::MatchesRegex(".*/Mail/\\.[0-9]+\\.temp"));
}

TEST_F(MailboxBrowserTest, DeletingAFolderAsksAboutItsEntries) {
    struct Case {
        std::vector<const char*> answers;
        std::vector<const char*> left;  // of A.mbox, B.mbox, Sub
        bool folderLeft;
    } cases[] = {
        {{"Cancel"}, {"A.mbox", "B.mbox", "Sub"}, true},
        {{"Ask First", "Delete", "Skip", "Delete"}, {"B.mbox"}, true},
        {{"Ask First", "Delete", "Cancel"}, {"A.mbox", "B.mbox", "Sub"}, true},
        {{"Delete All"}, {}, false},
    };
    for (const Case& c : cases) {
        make({"Box/A.mbox", "Box/B.mbox", "Box/Sub/C.mbox"});
        browser().update();
        browser().setPath("/Box");
        for (const char* a : c.answers) panels->answer(a);
        browser().deleteSelected();
        std::vector<const char*> left;
        for (const char* entry : {"A.mbox", "B.mbox", "Sub"})
            if (exists(std::string("Box/") + entry)) left.push_back(entry);
        EXPECT_EQ(left, c.left) << c.answers[0];
        EXPECT_EQ(exists("Box"), c.folderLeft);
        std::filesystem::remove_all(mailDir() + "/Box");
    }
    // Delete All closed the windows of every mailbox inside, nested ones too.
    EXPECT_THAT(host.events, ::testing::IsSupersetOf({"close " + mailDir() + "/Box/Sub/C.mbox"}));
    make({"Empty"});
    browser().update();
    browser().setPath("/Empty");
    browser().deleteSelected();  // no question for an empty folder
    EXPECT_FALSE(exists("Empty"));
}

TEST_F(MailboxBrowserTest, OpenTransferAndTheirRefusals) {
    make({"Inbox.mbox", "Work"});
    browser().setPath("/Work");
    panels->answer("OK");
    browser().open();
    EXPECT_EQ(panels->alerts().back().message, "No mailbox selected.");
    browser().setPath("/Inbox");
    browser().open();
    browser().transfer();
    EXPECT_THAT(host.events, ElementsAre("open " + mailDir() + "/Inbox.mbox",
                                         "transfer " + mailDir() + "/Inbox.mbox", "delete"));
    host.source = false;
    panels->answer("OK");
    browser().transfer();
    EXPECT_EQ(panels->alerts().back().message, "No source mailbox window for transfer.");
}

TEST_F(MailboxBrowserTest, ShowRebuildsOnlyWhenAFolderChanged) {
    make({"Work"});
    // Both directories changed long ago, so any change now is later.
    const timespec old[2] = {{0, UTIME_OMIT}, {1000, 0}};
    for (std::string d : {mailDir(), mailDir() + "/Work"}) ::utimensat(AT_FDCWD, d.c_str(), old, 0);
    browser();
    make({"Work/New.mbox"});
    browser().show();
    browser().setPath("/Work/New");
    EXPECT_EQ(browser().selectedMailboxPath(), "Work/New.mbox");
}

}  // namespace
}  // namespace quill

// The address-book window's decisions: what each column lists, and Add,
// Remove, Save, Find, type-ahead and Append with their alerts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AddressBookTest.h"
#include "addressbook/AddressBookBrowser.h"
#include "addressbook/ComposeAddressTarget.h"

namespace quill::test {
namespace {

using C = AliasIndexer::Category;
using B = AddressBookBrowser;

class AddressBookBrowserTest : public AddressBookTest {
  protected:
    void SetUp() override {
        AddressBookTest::SetUp();
        writeFile("people/aliases", "staff: ann,bob\nnick: ann\nbuddy: Bob\n");
        writeFile("people/passwd", "ann:x\nbob:x\ncarl:x\n");
        writeFile("home/.config/Quill/.mailalias",
                  "Private Users:zed@x,Amy <amy@y>\nteam: staff,me@y\n");
        load();
        browser = std::make_unique<B>(*alias);
        browser->windowWillShow();
    }
    std::vector<std::string> column(int c) {
        std::vector<std::string> rows;
        for (int r = 0; r < browser->rowCount(c); ++r) rows.push_back(browser->rowText(c, r));
        return rows;
    }
    // The alerts' messages since the last call.
    std::vector<std::string> alerts() {
        std::vector<std::string> out;
        for (const AlertRequest& a : panels->alerts()) out.push_back(a.title + ": " + a.message);
        panels->clear();
        return out;
    }
    std::unique_ptr<B> browser;
};

using Rows = std::vector<std::string>;

TEST_F(AddressBookBrowserTest, ColumnsListEachCategory) {
    EXPECT_EQ(column(B::kCategories),
              (Rows{"Users", "Groups", "Login Names", "Private Users", "Private Groups"}));
    const std::pair<int, Rows> expected[] = {{C::Users, {"buddy", "nick"}},
                                             {C::Groups, {"staff"}},
                                             {C::LoginNames, {"ann", "bob", "carl"}},
                                             {C::PrivateUsers, {"Amy <amy@y>", "zed@x"}},
                                             {C::PrivateGroups, {"team"}}};
    for (const auto& [category, names] : expected) {
        browser->select(B::kCategories, category);
        EXPECT_EQ(column(B::kNames), names) << category;
    }
    browser->select(B::kNames, 0);
    EXPECT_EQ(column(B::kMembers), (Rows{"staff", "me@y"}));
    browser->select(B::kCategories, C::Groups);
    EXPECT_EQ(browser->selectedRow(B::kNames), -1);
    EXPECT_TRUE(column(B::kMembers).empty());
}

TEST_F(AddressBookBrowserTest, AddFollowsTheColumnAndRefusesWhatCannotBeAdded) {
    struct Step {
        int category, name;
        const char* field;
        const char* alert;  // nullptr: none
    } steps[] = {
        {C::PrivateUsers, -1, " \n ", "Add: No name entered"},
        {C::Users, -1, "x", "Add: Can't add at this level"},
        {C::PrivateGroups, -1, "two words", "Add: Space or comma not allowed"},
        {C::PrivateGroups, -1, "TEAM", "Add: TEAM already exists as a private alias"},
        {C::PrivateGroups, -1, "carl", "Add: carl already exists as a user"},
        {C::PrivateGroups, -1, "nick", "Add: nick already exists as a global alias"},
        {C::PrivateGroups, -1, " club\n", nullptr},
        {C::PrivateGroups, 0, "Dave@z", nullptr},
        {C::PrivateUsers, -1, "bea@q", nullptr},
    };
    for (const Step& s : steps) {
        browser->select(B::kCategories, s.category);
        if (s.name >= 0) browser->select(B::kNames, s.name);
        if (s.alert) panels->answer(0);
        browser->add(s.field);
        EXPECT_EQ(alerts(), s.alert ? Rows{s.alert} : Rows{}) << s.field;
    }
    EXPECT_EQ(column(B::kNames), (Rows{"Amy <amy@y>", "bea@q", "zed@x"}));
    EXPECT_EQ(browser->selectedRow(B::kNames), 1);
    browser->select(B::kCategories, C::PrivateGroups);
    EXPECT_EQ(column(B::kNames), (Rows{"club", "team"}));
    browser->select(B::kNames, 0);
    EXPECT_EQ(column(B::kMembers), (Rows{"Dave@z", "tester"}));
}

TEST_F(AddressBookBrowserTest, RemoveTakesTheSelectedNameMemberOrGroupAndSaveWritesIt) {
    browser->save();  // nothing changed: nothing written
    EXPECT_EQ(slurp(privateFile()), "Private Users:zed@x,Amy <amy@y>\nteam: staff,me@y\n");
    browser->select(B::kCategories, C::PrivateUsers);
    browser->select(B::kNames, 1);
    browser->remove();
    browser->select(B::kCategories, C::PrivateGroups);
    browser->select(B::kNames, 0);
    browser->select(B::kMembers, 1);
    browser->remove();
    EXPECT_EQ(column(B::kMembers), (Rows{"staff"}));
    browser->save();
    EXPECT_EQ(slurp(privateFile()), "Private Users:Amy <amy@y>\nteam:staff\n");
    browser->remove();  // the group itself
    EXPECT_TRUE(column(B::kNames).empty());
    browser->select(B::kCategories, C::Users);
    browser->remove();
    EXPECT_EQ(panels->beeps(), 1);
    ::unlink(privateFile().c_str());
    ::mkdir(privateFile().c_str(), 0700);  // the file cannot be replaced
    panels->answer(0);
    browser->save();
    EXPECT_EQ(alerts(), Rows{"Saving Aliases: Unable to save private users"});
}

TEST_F(AddressBookBrowserTest, FindWrapsAroundAndTypeAheadStopsAtTheFirstLaterLetter) {
    browser->select(B::kCategories, C::LoginNames);
    browser->find("B");
    EXPECT_EQ(browser->selectedRow(B::kNames), 1);
    browser->find("a");  // from the row after bob, then from the top
    EXPECT_EQ(browser->selectedRow(B::kNames), 2);
    browser->find("a");
    EXPECT_EQ(browser->selectedRow(B::kNames), 0);
    panels->answer(0);
    browser->find("zz");
    EXPECT_EQ(alerts(), Rows{"Find: zz not found."});
    EXPECT_EQ(browser->typeAhead("ca"), 2);
    EXPECT_EQ(browser->typeAhead("bz"), -1);
    EXPECT_EQ(browser->typeAhead("C"), -1);  // rows are matched lower-cased
    EXPECT_EQ(browser->selectedRow(B::kNames), 2);
}

struct FakeCompose : ComposeAddressTarget {
    std::vector<std::string> to, cc;
    void appendTo(const std::string& name) override { to.push_back(name); }
    void appendCc(const std::string& name) override { cc.push_back(name); }
};

TEST_F(AddressBookBrowserTest, AppendGoesToTheFrontComposeWindow) {
    browser->select(B::kCategories, C::Groups);
    panels->answer(0);
    browser->append(false);
    browser->select(B::kNames, 0);
    panels->answer(0);
    browser->append(false);
    EXPECT_EQ(alerts(), (Rows{"Append: No name selected in browser",
                              "Append: No Compose QXWindow to append name"}));
    FakeCompose compose;
    ComposeAddressTarget::setFrontmostSource([&] { return &compose; });
    browser->append(false);
    browser->select(B::kMembers, 1);
    browser->append(true);
    ComposeAddressTarget::setFrontmostSource(nullptr);
    EXPECT_EQ(compose.to, Rows{"staff"});
    EXPECT_EQ(compose.cc, Rows{"bob"});
}

}  // namespace
}  // namespace quill::test

// Editing private entries and the bytes of the private file.
#include <gtest/gtest.h>

#include "AddressBookTest.h"

namespace quill::test {
namespace {

class PrivateAliasesTest : public AddressBookTest {};

TEST_F(PrivateAliasesTest, AHandEditedFileIsSavedInTheFixedForm) {
    writeFile("home/.config/Quill/.mailalias",
              "# mine\nzeta : a ,  b\nPrivate Users: Bob <bob@x>, ann@y\n\xff no colon\n"
              "alpha: x,\n\ty\nempty:\n");
    load();
    PrivateAliases& p = privates();
    EXPECT_EQ(p.newGroup("Beta"), PrivateAliases::NewGroup::Created);
    EXPECT_TRUE(p.addUser("carl", "ALPHA"));
    EXPECT_TRUE(p.addPrivateName("ANN@Y"));
    EXPECT_TRUE(p.addPrivateName("dan@z"));
    EXPECT_TRUE(p.modified());
    ASSERT_TRUE(p.savePrivateUsers());
    EXPECT_FALSE(p.modified());
    EXPECT_EQ(slurp(privateFile()),
              "Private Users:ann@y,Bob <bob@x>,dan@z\nalpha:carl,x,y\nBeta:tester\nzeta :a ,b\n");
    EXPECT_EQ(p.aliaslist(), (std::vector<std::string>{"alpha", "Beta", "empty", "zeta "}));
    EXPECT_EQ(logLines.size(), 1u);  // the line without a colon
    load();                          // and the saved file reads back the same
    EXPECT_EQ(privates().fileText(), slurp(privateFile()));
}

TEST_F(PrivateAliasesTest, NewGroupsRefuseTakenNamesAndReuseRemovedOnes) {
    writeFile("people/aliases", "global: a\n");
    writeFile("people/passwd", "someone:x\n");
    writeFile("home/.config/Quill/.mailalias", "mine: a,b\n");
    AliasBook& book = load();
    PrivateAliases& p = privates();
    using R = PrivateAliases::NewGroup;
    EXPECT_EQ(p.newGroup("MINE"), R::ExistsAsPrivate);
    EXPECT_EQ(p.newGroup("Someone"), R::ExistsAsUser);
    EXPECT_EQ(p.newGroup("global"), R::ExistsAsGlobal);

    p.removeAlias(0, "mine");  // loaded: kept, marked removed, members emptied
    EXPECT_EQ(book.getentry("mine"), nullptr);
    EXPECT_EQ(p.aliascount(), 0);
    EXPECT_EQ(p.newGroup("Mine"), R::Created);
    EXPECT_EQ(book.getentry("mine")->memberCount(), 0);

    EXPECT_EQ(p.newGroup("fresh"), R::Created);  // made now: freed on removal
    p.removeAlias(0, "fresh");
    EXPECT_EQ(p.newGroup("Fresh"), R::Created);
    EXPECT_EQ(book.getentry("fresh")->members, (std::vector<std::string>{"tester"}));
    EXPECT_EQ(p.aliaslist(), (std::vector<std::string>{"Fresh", "mine"}));
    EXPECT_EQ(p.fileText(), "Fresh:tester\n");
}

TEST_F(PrivateAliasesTest, MembersAreAddedOnceAndRemovedByIndex) {
    writeFile("home/.config/Quill/.mailalias", "g: Ann,bob\n");
    AliasBook& book = load();
    PrivateAliases& p = privates();
    EXPECT_TRUE(p.addUser("ANN", "g"));
    EXPECT_FALSE(p.modified());
    EXPECT_FALSE(p.addUser("x", "nosuch"));
    p.removeUser(0, "g");
    p.removeUser(5, "g");
    EXPECT_EQ(book.getentry("g")->members, (std::vector<std::string>{"bob"}));
    EXPECT_FALSE(p.addPrivateName(""));
    EXPECT_FALSE(p.addPrivateName("\"a,\nb\"@x"));
}

TEST_F(PrivateAliasesTest, NamesTheFileCannotHoldAsWrittenAreKeptWhole) {
    writeFile("home/.config/Quill/.mailalias", "g: z,b:x\n");
    load();
    PrivateAliases& p = privates();
    EXPECT_TRUE(p.addPrivateName("\"Doe, John\" <jd@x>"));
    EXPECT_TRUE(p.addPrivateName("Dr. Who: Admin <who@x>"));
    EXPECT_TRUE(p.addUser("a", "g"));
    EXPECT_EQ(p.fileText(), "Private Users:,Dr. Who: Admin <who@x>,jd@x\ng:a,b:x,z\n");
    ASSERT_TRUE(p.savePrivateUsers());
    load();
    EXPECT_EQ(privates().fileText(), slurp(privateFile()));
}

TEST_F(PrivateAliasesTest, AnUnwritableFileFailsTheSave) {
    writeFile("home/.config/Quill", "a file where the directory should be");
    load();
    EXPECT_TRUE(privates().addPrivateName("x@y"));
    EXPECT_FALSE(privates().savePrivateUsers());
    EXPECT_TRUE(privates().modified());
}

}  // namespace
}  // namespace quill::test

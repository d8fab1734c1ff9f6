// quilltool alias and complete, run as a user's script runs them: the book
// comes from the settings' "PeopleDir" and the private file under
// $XDG_CONFIG_HOME.
#include <gtest/gtest.h>

#include "AddressBookTest.h"
#include "process/programs.h"

namespace quill::test {
namespace {

class QuilltoolAliasTest : public AddressBookTest {
  protected:
    void SetUp() override {
        AddressBookTest::SetUp();
        writeFile("home/.config/Quill/Quill.conf",
                  "[General]\nPeopleDir=" + peopleDir() + "\nLoadNISAddresses=NO\n");
        writeFile("people/aliases", "staff: ann,bob\nnick: ann\n");
        writeFile("people/passwd", "ann:x\nbob:x\n");
        writeFile("home/.config/Quill/.mailalias", "Private Users:annie@x\nteam: staff,me@y\n");
    }
    std::string quilltool(std::vector<std::string> args) {
        args.insert(args.begin(), QUILL_BIN_DIR "/quilltool");
        return run(processLauncher(), args, "").value_or("not run");
    }
};

TEST_F(QuilltoolAliasTest, AliasPrintsKindMembersAndUser) {
    EXPECT_EQ(quilltool({"alias", "Staff", "nick", "ann", "team", "nobody"}),
              "staff\tgroup\tann, bob\t\n"
              "nick\talias\tann\tann\n"
              "ann\tuser\t\tann\n"
              "team\tprivate\tstaff, me@y\t\n");
    EXPECT_EQ(quilltool({"alias", "--expand", "team, Bob <bob@z>"}), "staff\nme@y\nBob <bob@z>\n");
}

TEST_F(QuilltoolAliasTest, CompletePrintsEveryNameInOrder) {
    EXPECT_EQ(quilltool({"complete", "an"}), "ann\nannie@x\n");
    EXPECT_EQ(quilltool({"complete", "zz"}), "");
}

}  // namespace
}  // namespace quill::test

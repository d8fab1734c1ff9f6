// The alias and password file formats, as tables of text and what it names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addressbook/AliasFileReader.h"

namespace quill {
namespace {

struct Read {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> members;
    AliasFileReader::Result result;
};

Read readAliases(const std::string& text) {
    Read r;
    r.result =
        AliasFileReader::readAliases(text, [&](std::string_view name, std::string_view list) {
            r.names.emplace_back(name);
            r.members.push_back(AliasFileReader::parseMembers(list));
        });
    return r;
}

using Members = std::vector<std::vector<std::string>>;

TEST(AliasFileReaderTest, AliasLines) {
    struct Case {
        const char* text;
        std::vector<std::string> names;
        Members members;
    } cases[] = {
        {"staff: ann, bob,carl\n", {"staff"}, {{"ann", "bob", "carl"}}},
        // A list ending in a comma runs on; the tab-led line starts nothing.
        {"staff: ann,\n\tbob,\n\tcarl\nnext: x\n",
         {"staff", "next"},
         {{"ann", "bob", "carl"}, {"x"}}},
        // A tab-led line after a line without a comma adds nothing.
        {"a: x\n\ty\n", {"a"}, {{"x"}}},
        // Colons before the first comma: members start after the last of them.
        {"list: :include:/etc/list\n", {"list"}, {{"/etc/list"}}},
        {"g: *:10:ann,bob:x\n", {"g"}, {{"ann", "bob:x"}}},
        // Comments and empty lines start no entry; blanks before the colon stay.
        {"# staff: no\n\nbob : b \n", {"bob "}, {{"b "}}},
        // Control and 8-bit bytes before a name are skipped.
        {"\x01\xe9joe: j\n", {"joe"}, {{"j"}}},
        // Empty members are dropped; a last line without a newline counts.
        {"e: ,, a ,\t,b", {"e"}, {{"a ", "b"}}},
        {"empty:\n", {"empty"}, {{}}},
    };
    for (const Case& c : cases) {
        Read r = readAliases(c.text);
        EXPECT_EQ(r.names, c.names) << c.text;
        EXPECT_EQ(r.members, c.members) << c.text;
        EXPECT_EQ(r.result.skipped, 0) << c.text;
    }
}

TEST(AliasFileReaderTest, UnreadableLinesAreCountedAndTheRestRead) {
    std::string longMembers(100000, 'm');
    Read r = readAliases("ok: a\nno colon here\n: nameless\n\xff\xfe\n  spaced  :  x ,  y\nlong: " +
                         longMembers + "\nlast: z\n");
    EXPECT_EQ(r.names, (std::vector<std::string>{"ok", "  spaced  ", "long", "last"}));
    EXPECT_EQ(r.members[1], (std::vector<std::string>{"x ", "y"}));
    EXPECT_EQ(r.members[2][0].size(), longMembers.size());
    EXPECT_EQ(r.result.skipped, 3);
    EXPECT_EQ(r.result.firstSkippedLine, 2);
}

TEST(AliasFileReaderTest, PasswordLinesGiveTheTextBeforeTheFirstColon) {
    std::vector<std::string> users;
    auto result = AliasFileReader::readUsers(
        "root:x:0:0:root:/root:/bin/sh\n#comment:x\n\njoan:x:1000\ngarbage\n:x:1\n",
        [&](std::string_view name) { users.emplace_back(name); });
    EXPECT_EQ(users, (std::vector<std::string>{"root", "joan"}));
    EXPECT_EQ(result.skipped, 2);
}

TEST(AliasFileReaderTest, ClassificationLooksAtTheFirstLineFromItsFirstNonBlank) {
    EXPECT_EQ(AliasFileReader::firstMemberLine(" \tjoan \nmore"), "joan ");
    EXPECT_EQ(AliasFileReader::firstMemberLine("  "), "");
}

}  // namespace
}  // namespace quill

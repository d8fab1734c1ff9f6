// Loading from every source, lookups, getreal chains, completion order and
// the expansion of private aliases.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "AddressBookTest.h"
#include "addressbook/NisMaps.h"

namespace quill::test {
namespace {

class AliasBookTest : public AddressBookTest {};

std::vector<std::string> names(const AliasBook& book) {
    std::vector<std::string> out;
    for (const AliasEntry* e : book.table()) out.push_back(e->name);
    return out;
}

TEST_F(AliasBookTest, TheFirstSourceToNameAKeyWins) {
    nisMaps["passwd.byname"] = {{"jdoe", "jdoe:x:1:1::/:/bin/sh"}};
    nisMaps["group.byname"] = {{"staff", "staff:*:10:ann,bob"}};
    nisMaps["mail.aliases"] = {{"@", "@"}, {"postmaster", "root"}, {std::string("abuse\0", 6), ""}};
    writeFile("people/aliases", "Staff: private-staff\nteam: ann,bob\n");
    writeFile("default-people/passwd", "ann:x:2\n");  // people/passwd is missing
    writeFile("home/.config/Quill/.mailalias", "JDOE: other\nteam: me\nmine: x,y\n");
    writeFile("home/.config/Quill/Images/People/aliases", "MINE: z\nown: q\n");
    AliasBook& book = load();
    EXPECT_EQ(names(book), (std::vector<std::string>{"abuse", "ann", "jdoe", "mine", "own",
                                                     "postmaster", "staff", "team"}));
    EXPECT_FALSE(book.getentry("JDoe")->alias);
    EXPECT_EQ(book.getentry("staff")->members, (std::vector<std::string>{"ann", "bob"}));
    EXPECT_EQ(book.getentry("team")->members, (std::vector<std::string>{"ann", "bob"}));
    EXPECT_TRUE(book.getentry("mine")->local);
    EXPECT_EQ(book.getentry("postmaster")->memberCount(), 0);
    EXPECT_TRUE(logLines.empty());
}

TEST_F(AliasBookTest, ABrokenSourceIsLoggedAndTheRestLoads) {
    writeFile("people/aliases/x", "");  // a directory where the file should be
    writeFile("people/passwd", "ann:x\njunk\n");
    writeFile("home/.config/Quill/.mailalias", "mine: a\n");
    AliasBook& book = load();
    EXPECT_EQ(names(book), (std::vector<std::string>{"ann", "mine"}));
    ASSERT_EQ(logLines.size(), 2u);
    EXPECT_NE(logLines[0].find("Unable to read " + peopleDir() + "/aliases"), std::string::npos);
    EXPECT_NE(logLines[1].find("skipped 1 line(s) that name nothing, the first at line 2"),
              std::string::npos);
}

TEST_F(AliasBookTest, WithNoDomainTheServiceAnswersAtOnceWithNothing) {
    char domain[256] = {};
    ::getdomainname(domain, sizeof domain - 1);
    if (*domain && std::strcmp(domain, "(none)") != 0) GTEST_SKIP() << "a domain is configured";
    int records = 0;
    EXPECT_FALSE(NisMaps::readMap("passwd.byname", [&](auto, auto) { ++records; }));
    EXPECT_EQ(records, 0);
}

TEST_F(AliasBookTest, GetrealFollowsAtMostTwentyOneSteps) {
    auto chain = [](const std::string& prefix, int aliases) {
        std::string text;
        for (int i = 0; i < aliases; ++i)
            text += prefix + std::to_string(i) + ": " +
                    (i + 1 < aliases ? prefix + std::to_string(i + 1) : "user") + "\n";
        return text;
    };
    writeFile("people/aliases", chain("a", 21) + chain("b", 22) + "nick: User\ngroup: user,a0\n" +
                                    "dangling: nobody\n");
    writeFile("people/passwd", "user:x\n");
    AliasBook& book = load();
    EXPECT_EQ(book.findUser("a0"), "user");
    EXPECT_EQ(book.findUser("b0"), std::nullopt);
    EXPECT_EQ(book.findUser("NICK"), "user");
    EXPECT_EQ(book.findUser("user"), "user");
    EXPECT_EQ(book.findUser("group"), std::nullopt);
    EXPECT_EQ(book.findUser("dangling"), std::nullopt);
    book.classify();
    EXPECT_FALSE(book.getentry("nick")->group);
    EXPECT_TRUE(book.getentry("a20")->group == false && book.getentry("a19")->group);
    EXPECT_TRUE(book.getentry("group")->group);
    EXPECT_TRUE(book.getentry("dangling")->group);
}

TEST_F(AliasBookTest, PrivateUsersComeFirstAndWinTies) {
    writeFile("people/passwd", "joan:x\njoe:x\n");
    writeFile("home/.config/Quill/.mailalias", "Private Users:Joe,jo@example.org\n");
    AliasBook& book = load();
    EXPECT_EQ(book.completeAddress("jo", 2), "jo@example.org");
    EXPECT_EQ(book.completeAddress("joan", 2), "Joe");
    // A count out of range is reported and the whole text taken as typed.
    EXPECT_EQ(book.completeAddress("jo", -1), "jo@example.org");
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(logLines[0], "completeAddress: typedChars is out of range (-1)\n");
}

TEST_F(AliasBookTest, ExpansionReplacesPrivateEntriesOnceEach) {
    writeFile("people/aliases", "global: g1,g2\n");
    writeFile("home/.config/Quill/.mailalias",
              "team: Ann <ann@x>,loop,bob@y\nloop: team,carl@z,ANN@X\nnone:\nself: self,d@w\n");
    AliasBook& book = load();
    struct Case {
        const char* line;
        const char* expanded;
    } cases[] = {
        {"team", "Ann <ann@x>, carl@z, bob@y"},
        {"Loop (the loop), global", "Ann <ann@x>, bob@y, carl@z, global"},
        {"none, x@y", "x@y"},
        {"self", "d@w"},
        {"x@y, X@Y (again)", "x@y"},
    };
    for (const Case& c : cases) EXPECT_EQ(book.expandAddressLine(c.line), c.expanded) << c.line;
}

}  // namespace
}  // namespace quill::test

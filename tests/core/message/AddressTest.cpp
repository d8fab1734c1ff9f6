// Address fields: bare addresses, display names, list commas, own addresses.
#include <gtest/gtest.h>

#include "message/fieldutil.h"
#include "platform/UserInfo.h"
#include "settings/Defaults.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

struct AddressRow {
    const char* name;
    const char* text;
    const char* bare;     // uncommentedAddress
    const char* comment;  // addressComment
};

const AddressRow kAddresses[] = {
    {"plain", "joe@example.org", "joe@example.org", "joe@example.org"},
    {"angle", "Joe User <joe@example.org>", "joe@example.org", "Joe User"},
    {"trailing_comment", "joe@example.org (Joe User)", "joe@example.org", "Joe User"},
    {"quoted_name", "\"User, Joe\" <joe@example.org>", "joe@example.org", "User, Joe"},
    {"nested_comment", "joe@x (Joe (the boss) User)", "joe@x", "Joe (the boss) User"},
    {"comment_inside_angle_form", "Joe (work) <joe@x>", "joe@x", "Joe (work)"},
    {"comment_after_angle", "<joe@x> (Joe)", "joe@x", "(Joe)"},
    {"quoted_local_part", "\"joe user\"@example.org", "\"joe user\"@example.org",
     "\"joe user\"@example.org"},
    {"angle_inside_quotes", "\"a <b>\" <c@d>", "c@d", "a <b>"},
    {"angle_inside_comment", "c@d (see <here>)", "c@d", "see <here>"},
    {"white_space_collapsed", "  joe  \t@  x  ", "joe @ x", "joe @ x"},
    {"name_white_space", "  Joe    User   <joe@x>", "joe@x", "Joe User"},
    // An escape is copied as written even inside a comment.
    {"escaped_paren_in_comment", "j@x (a\\) b)", "j@x \\)", "a) b"},
    {"escaped_quote_in_name", "\"Joe \\\"J\\\" U\" <j@x>", "j@x", "Joe \"J\" U"},
    {"quoted_comment_unwrapped", "j@x (\"Joe\")", "j@x", "Joe"},
    {"unbalanced_comment", "j@x (Joe", "j@x", "Joe"},
    {"unbalanced_quote", "\"Joe <j@x>", "\"Joe <j@x>", "\"Joe <j@x>"},
    {"unclosed_angle", "Joe <j@x", "j@x", "Joe"},
    {"empty_name_falls_back", "<j@x>", "j@x", "j@x"},
    {"empty", "", "", ""},
};

TEST(AddressTest, BareAddressAndDisplayName) {
    for (const AddressRow& row : kAddresses) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(uncommentedAddress(row.text), row.bare);
        EXPECT_EQ(addressComment(row.text), row.comment);
    }
}

TEST(AddressTest, CommaIndexSkipsQuotesAndComments) {
    struct Row {
        const char* name;
        const char* text;
        std::optional<std::size_t> comma;
    } rows[] = {
        {"quoted_comma", "\"User, Joe\" <joe@x>, ann@y", 19},
        {"comment_comma", "joe@x (User, Joe), ann@y", 17},
        {"escaped_comma", "joe\\,x, ann", 6},
        {"escaped_quote", "\"a\\\",b\", c", 7},
        {"nested_comment", "a (b (c, d) e, f), g", 17},
        {"no_comma", "joe@x", std::nullopt},
        {"unbalanced_quote", "\"a, b", std::nullopt},
        {"leading_comma", ", a", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(addressCommaIndex(row.text), row.comma);
    }
}

TEST(AddressTest, SplitAtAddressCommasKeepsPiecesAsWritten) {
    auto pieces = splitAtAddressCommas("\"B, A\" <a@x>, c@y (C, D),,  e");
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0], "\"B, A\" <a@x>");
    EXPECT_EQ(pieces[1], " c@y (C, D)");
    EXPECT_EQ(pieces[2], "");
    EXPECT_EQ(pieces[3], "  e");
    EXPECT_EQ(splitAtAddressCommas("").size(), 1u);
}

// The fixture's user is "tester", full name "Test User".
using OwnAddressTest = test::QuillTest;

TEST_F(OwnAddressTest, LoginNameAndFullName) {
    EXPECT_TRUE(isMyAddress("tester"));
    EXPECT_TRUE(isMyAddress("Someone <tester>"));
    EXPECT_FALSE(isMyAddress("Tester"));  // the login name is compared exactly
    EXPECT_TRUE(isMyAddress("test.user"));
    EXPECT_TRUE(isMyAddress("TEST_USER"));
    EXPECT_FALSE(isMyAddress("test.users"));
    EXPECT_FALSE(isMyAddress("testXuser"));
    EXPECT_FALSE(isMyAddress(""));
}

TEST_F(OwnAddressTest, HostQualifiedAddressNeedsAlternates) {
    EXPECT_FALSE(isMyAddress("tester@example.org"));
    Defaults::shared().setAlternates(" other@x.org ,  Tester@Example.ORG  ,, t@y");
    EXPECT_TRUE(isMyAddress("tester@example.org"));
    EXPECT_TRUE(isMyAddress("Me <TESTER@example.org>"));
    EXPECT_TRUE(isMyAddress("t@y"));
    EXPECT_FALSE(isMyAddress("tester@example.org.uk"));
    EXPECT_FALSE(isMyAddress("er@x.org"));
}

TEST_F(OwnAddressTest, RealNameFromTheCommentField) {
    struct Row {
        const char* gecos;
        const char* expected;
    } rows[] = {
        {"Test User", "Test User"},   {"Test User;Room 5", "Test User"},
        {"Test User%x", "Test User"}, {"& Smith", "Tester Smith"},
        {"&&", "TesterTester"},       {"", "tester"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.gecos);
        setCurrentUser({"tester", home(), row.gecos});
        EXPECT_EQ(getRealName(), row.expected);
    }
    setCurrentUser({"tester", home(), "& Smith"});
    EXPECT_TRUE(isMyAddress("tester.smith"));
}

}  // namespace
}  // namespace quill

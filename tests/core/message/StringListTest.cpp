// StringList: address lists as the composer and reply builder use them.
#include <gtest/gtest.h>

#include "message/StringList.h"
#include "settings/Defaults.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

StringList listOf(const char* line) {
    StringList list;
    list.addParsedAddressesFrom(line);
    return list;
}

TEST(StringListTest, ParsedAddressesAreTrimmedAndEmptyPiecesSkipped) {
    StringList list = listOf("  \"Doe, J\" <j@x> ,\tann@y (Ann, A),, ,\n bob ");
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.stringAt(0), "\"Doe, J\" <j@x>");
    EXPECT_STREQ(list.cstringAt(1), "ann@y (Ann, A)");
    EXPECT_EQ(list.stringAt(2), "bob");
    list.addParsedAddressesFrom("");
    EXPECT_EQ(list.count(), 3);
    list.addString("");
    EXPECT_EQ(list.count(), 4);
}

TEST(StringListTest, CommaizedValueJoinsEveryEntry) {
    StringList list;
    EXPECT_EQ(list.commaizedStringValue(), "");
    list.addString("");
    list.addString("a");
    list.addString("b");
    EXPECT_EQ(list.commaizedStringValue(), ", a, b");
    EXPECT_EQ(listOf("x, \"y, z\" <w>").commaizedStringValue(), "x, \"y, z\" <w>");
}

// Addresses compare by their bare form, ignoring case; the first of equals stays.
TEST(StringListTest, RemovalsCompareBareAddressesIgnoringCase) {
    const struct {
        const char* name;
        const char* list;
        void (*edit)(StringList&);
        const char* left;
    } rows[] = {
        {"one address", "Joe <JOE@x>, ann@y, joe@x (again), joe@xy",
         [](StringList& l) { l.removeAddress("Someone <joe@X>"); }, "ann@y, joe@xy"},
        {"duplicates", "Ann <ann@y>, bob@z, ANN@Y (dup), bob@z, Bob <BOB@Z>, carl",
         [](StringList& l) { l.removeDuplicateAddresses(); }, "Ann <ann@y>, bob@z, carl"},
        {"comments", "Ann <ann@y>, bob@z (Bob), \"q r\"@s",
         [](StringList& l) { l.removeAddressComments(); }, "ann@y, bob@z, \"q r\"@s"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StringList list = listOf(row.list);
        row.edit(list);
        EXPECT_EQ(list.commaizedStringValue(), row.left);
    }
}

using MyAddressListTest = test::QuillTest;  // user "tester", full name "Test User"

TEST_F(MyAddressListTest, RemoveMyAddressUsesLoginFullNameAndAlternates) {
    Defaults::shared().setAlternates("tester@home.org");
    StringList list =
        listOf("tester, Ann <ann@y>, Me <Tester@Home.org>, test_user, tester@work.org");
    list.removeMyAddress();
    EXPECT_EQ(list.commaizedStringValue(), "Ann <ann@y>, tester@work.org");
}

}  // namespace
}  // namespace quill

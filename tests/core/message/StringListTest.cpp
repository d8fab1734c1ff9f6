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

TEST(StringListTest, RemoveAddressComparesBareAddressIgnoringCase) {
    StringList list = listOf("Joe <JOE@x>, ann@y, joe@x (again), joe@xy");
    list.removeAddress("Someone <joe@X>");
    EXPECT_EQ(list.commaizedStringValue(), "ann@y, joe@xy");
}

TEST(StringListTest, RemoveDuplicatesKeepsTheFirst) {
    StringList list = listOf("Ann <ann@y>, bob@z, ANN@Y (dup), bob@z, Bob <BOB@Z>, carl");
    list.removeDuplicateAddresses();
    EXPECT_EQ(list.commaizedStringValue(), "Ann <ann@y>, bob@z, carl");
}

TEST(StringListTest, RemoveAddressComments) {
    StringList list = listOf("Ann <ann@y>, bob@z (Bob), \"q r\"@s");
    list.removeAddressComments();
    EXPECT_EQ(list.commaizedStringValue(), "ann@y, bob@z, \"q r\"@s");
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

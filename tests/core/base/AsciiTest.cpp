// The shared character helpers keep the C locale's meanings, and the variants
// callers choose between really differ where their old copies did.
#include <gtest/gtest.h>

#include "base/ascii.h"
#include "base/bigendian.h"

namespace quill {
namespace {

TEST(Ascii, SpaceClassesDifferOnlyInVerticalTabAndFormFeed) {
    for (int b = 0; b < 256; ++b) {
        char c = static_cast<char>(b);
        bool differs = c == '\v' || c == '\f';
        EXPECT_EQ(isSpace(c) != isMailSpace(c), differs) << b;
        if (b >= 0x80) {
            EXPECT_FALSE(isSpace(c) || isAlnum(c) || isUpper(c) || isLower(c)) << b;
            EXPECT_EQ(toLower(c), c);
            EXPECT_EQ(hexValue(c), -1);
        }
    }
}

TEST(Ascii, TrimsOnlyTheClassAskedFor) {
    EXPECT_EQ(trimmed("\v a\tb \f"), "a\tb");
    EXPECT_EQ(trimmed("\v a\tb \f", isMailSpace), "\v a\tb \f");
    EXPECT_EQ(trimmed(" \t\r\nx\n", isBlank), "\r\nx\n");
    EXPECT_EQ(trimmedFront("  x ", isBlank), "x ");
    EXPECT_EQ(trimmedBack("  x ", isBlank), "  x");
    EXPECT_EQ(trimmed("   "), "");
}

// The order strncasecmp gave the list sorts: bytes compared unsigned after
// folding ASCII letters, a prefix first.
TEST(Ascii, ComparesIgnoringAsciiCaseOnly) {
    EXPECT_EQ(compareIgnoringCase("Re", "rE"), 0);
    EXPECT_LT(compareIgnoringCase("ab", "ABC"), 0);
    EXPECT_LT(compareIgnoringCase("Zebra", "\xe9t\xe9"), 0);
    EXPECT_LT(compareIgnoringCase("_", "A"), 0);  // folded to 'a', which '_' precedes
    EXPECT_FALSE(equalsIgnoringCase("\xc4", "\xe4"));
    EXPECT_TRUE(startsWithIgnoringCase("content-TYPE: x", "Content-Type:"));
    EXPECT_FALSE(startsWithIgnoringCase("Content", "Content-Type:"));
    EXPECT_EQ(lowercased("MiXeD-1"), "mixed-1");
    EXPECT_EQ(uppercased("yes"), "YES");
}

TEST(BigEndian, WordsRoundTripInNetworkOrder) {
    char b[8];
    putU64(b, 0x0102030405060708ULL);
    EXPECT_EQ(std::string(b, 8), "\x01\x02\x03\x04\x05\x06\x07\x08");
    EXPECT_EQ(getU64(b), 0x0102030405060708ULL);
    putU32(b, 0xfffffffeu);
    EXPECT_EQ(getI32(b), -2);
    std::string out;
    appendU32(out, 890712);
    EXPECT_EQ(getU32(out.data()), 890712u);
}

}  // namespace
}  // namespace quill

// Transfer decoders and MIME tokens: base64 and quoted-printable fed whole and
// a byte at a time, padding and junk, soft breaks and trailing blanks; token
// equality with the "x-" rule and the header tokenizer.
#include <gtest/gtest.h>

#include "base/Diagnostics.h"
#include "message/mimecodec.h"
#include "message/mimetoken.h"
#include "support/Rows.h"

namespace quill {
namespace {

// Every way of cutting the input in two, pieces of three bytes and single
// bytes all decode as the whole input does.
template <class Decoder>
void expectCutsAgree(std::string_view input, const std::string& whole) {
    auto inPieces = [&](std::size_t cut, std::size_t piece) {
        Decoder decoder;
        std::string out;
        decoder.feed(input.substr(0, cut), out);
        for (std::size_t at = cut; at < input.size(); at += piece)
            decoder.feed(input.substr(at, piece), out);
        decoder.finish(out);
        return out;
    };
    for (std::size_t cut = 0; cut <= input.size(); ++cut)
        EXPECT_EQ(inPieces(cut, input.size()), whole) << "cut at " << cut << " of " << input;
    EXPECT_EQ(inPieces(0, 3), whole) << "pieces of three of " << input;
    EXPECT_EQ(inPieces(0, 1), whole) << "single bytes of " << input;
}

TEST(Base64, PaddingJunkConcatenationsAndIncompleteGroups) {
    test::expectRows([](std::string_view in) { return decodeBase64(in); },
                     {
                         {"SGVsbG8s\r\nIHdvcmxk\nIQ==", "Hello, world!"},
                         {"YWI=", "ab"},
                         {"YWJj", "abc"},
                         {"", ""},
                         {"Y W\x01J*j", "abc"},
                         {"YQ==YWI=", "aab"},
                         {"YWJjYQ", "abc"},
                         {"YWJj\xff\xfe", "abc"},
                         {"SGV\nsbG8sIH*dvcmxkIQ", "Hello, world"},
                     });
}

TEST(Base64, GroupsSplitByBreaksJunkOrPaddingDecodeAlikeHoweverCut) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    const char* inputs[] = {"SGVsbG8sIHdvcmxkIQ==SGVs\nbG8sIHdv\r\ncmxk",
                            "SGV\nsbG8sIH*dvcmxkIQ",
                            "YW=JjYWJjYQ==YWJj",
                            "AAAA====BBBBCCCC",
                            "====",
                            "A"};
    for (std::string_view input : inputs)
        expectCutsAgree<Base64Decoder>(input, decodeBase64(input));
    expectCutsAgree<Base64Decoder>(all, decodeBase64(all));
}

TEST(QuotedPrintable, SoftBreaksHexBlanksAndWhatIsNotAnEscape) {
    test::expectRows([](std::string_view in) { return decodeQuotedPrintable(in); },
                     {
                         {"=41=\nB", "AB"},
                         {"=41=\r\nB", "AB"},
                         {"a  \nb", "a\nb"},
                         {"caf=e9 ok", "caf\xe9 ok"},
                         {"inner  blanks stay  ", "inner  blanks stay  "},
                         {"a=zzb", "a=zzb"},
                         {"end=", "end="},
                         {"end=4", "end=4"},
                         {"caf=E9 au lait  \nna=EFve =\nsoft  =\r\nend  ",
                          "caf\xe9 au lait\nna\xefve soft  end  "},
                         {"a=20\n", "a \n"},
                         {"=20  =41  \nb", "   A\nb"},
                         {"tab\t \n=41=4", "tab\t\nA=4"},
                         {"x=\n  =3D\r\n", "x  =\r\n"},
                     });
}

TEST(QuotedPrintable, BlanksAndEscapesDecodeAlikeHoweverCut) {
    const char* inputs[] = {"caf=E9 au lait  \nna=EFve =\nsoft  =\r\nend  ",
                            "a \t \n  =3D  =zz =4  \r\n x",
                            "   \n\n= \n=\r=\n",
                            "a  \nb  \r\n=\r\n=4",
                            "x=3D=3d=zz=\n",
                            "a=\r"};
    for (std::string_view input : inputs)
        expectCutsAgree<QuotedPrintableDecoder>(input, decodeQuotedPrintable(input));
}

// Bodies larger than one decoding piece, with groups, escapes, soft breaks
// and trailing blanks falling at every offset of the piece boundaries.
std::string largeEncoded(TransferCoding coding) {
    const char* base64Lines[] = {"QUJD\r\n", "REVG*R0g=\n", "SUo=\n", "S0xN\n", "Tg\n", "==\n"};
    const char* qpLines[] = {"caf=E9  \n", "soft =\n", "=3D=\r\n", "x=zz \n", "a=4\n", "end\n"};
    std::string out;
    for (std::size_t i = 0; out.size() < (700 << 10); ++i)
        out += coding == TransferCoding::Base64 ? base64Lines[i * 7 % 6] : qpLines[i * 7 % 6];
    return out;
}

TEST(TransferPieces, PiecesJoinedAreTheWholeDecodingAndAFalseSinkStops) {
    for (TransferCoding coding :
         {TransferCoding::Identity, TransferCoding::Base64, TransferCoding::QuotedPrintable}) {
        const std::string input = largeEncoded(coding);
        std::string joined;
        int pieces = 0;
        EXPECT_TRUE(decodeTransferInPieces(input, coding, [&](std::string_view piece) {
            joined += piece;
            return ++pieces > 0;
        }));
        EXPECT_EQ(joined, decodeTransfer(input, coding));
        EXPECT_GT(pieces, coding == TransferCoding::Identity ? 0 : 2);
        pieces = 0;
        EXPECT_FALSE(decodeTransferInPieces(input, coding, [&](std::string_view) {
            ++pieces;
            return false;
        }));
        EXPECT_EQ(pieces, 1);
    }
}

TEST(MimeToken, EqualityIgnoresCaseAndLeadingX) {
    EXPECT_TRUE(isKeyEqual("x-zell", "zell"));
    EXPECT_TRUE(isKeyEqual("X-BASE64", "base64"));
    EXPECT_FALSE(isKeyEqual("base64", "base65"));
    EXPECT_FALSE(isKeyEqual(std::optional<std::string>(), "text"));
}

TEST(MimeToken, QuotesEscapesCommentsAndDelimiters) {
    std::vector<std::string> lines;
    setLogSink([&](const std::string& line) { lines.push_back(line); });
    std::string_view text = " Text/HTML ; name=\"a \\\"b\\\" c\"; x=(note)v";
    size_t pos = 0;
    EXPECT_EQ(parseMimeToken(text, pos, "/", true), "text");
    EXPECT_EQ(parseMimeToken(text, pos, ";", true), "html");
    EXPECT_EQ(parseMimeToken(text, pos, "=", true), "name");
    EXPECT_EQ(parseMimeToken(text, pos, ";", false), "a \"b\" c");
    EXPECT_EQ(parseMimeToken(text, pos, "=", true), "x");
    EXPECT_EQ(parseMimeToken(text, pos, ";", false), "notev");
    EXPECT_EQ(parseMimeToken(text, pos, ";", false), std::nullopt);
    EXPECT_TRUE(lines.empty());

    std::string_view bad = "a@b";
    pos = 0;
    EXPECT_EQ(parseMimeToken(bad, pos, ";", false), "a@b");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "[MimeMessage Warning: Header contains unquoted tspecial value: @b]\n");
    setLogSink(nullptr);
}

}  // namespace
}  // namespace quill

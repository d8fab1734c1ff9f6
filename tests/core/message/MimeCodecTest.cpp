// Transfer decoders and MIME tokens: base64 and quoted-printable fed whole and
// a byte at a time, padding and junk, soft breaks and trailing blanks; token
// equality with the "x-" rule and the header tokenizer.
#include <gtest/gtest.h>

#include "base/Diagnostics.h"
#include "message/mimecodec.h"
#include "message/mimetoken.h"

namespace quill {
namespace {

template <class Decoder>
std::string byteAtATime(std::string_view input) {
    Decoder decoder;
    std::string out;
    for (char c : input) decoder.feed(std::string_view(&c, 1), out);
    decoder.finish(out);
    return out;
}

// Every way of cutting the input in two, plus pieces of three bytes.
template <class Decoder>
void expectCutsAgree(std::string_view input, const std::string& whole) {
    for (std::size_t cut = 0; cut <= input.size(); ++cut) {
        Decoder decoder;
        std::string out;
        decoder.feed(input.substr(0, cut), out);
        decoder.feed(input.substr(cut), out);
        decoder.finish(out);
        EXPECT_EQ(out, whole) << "cut at " << cut << " of " << input;
    }
    Decoder decoder;
    std::string out;
    for (std::size_t at = 0; at < input.size(); at += 3) decoder.feed(input.substr(at, 3), out);
    decoder.finish(out);
    EXPECT_EQ(out, whole) << "pieces of three of " << input;
}

TEST(Base64, DecodesWithLineBreaksAndPadding) {
    EXPECT_EQ(decodeBase64("SGVsbG8s\r\nIHdvcmxk\nIQ=="), "Hello, world!");
    EXPECT_EQ(decodeBase64("YWI="), "ab");
    EXPECT_EQ(decodeBase64("YWJj"), "abc");
    EXPECT_EQ(decodeBase64(""), "");
}

TEST(Base64, SkipsJunkJoinsConcatenationsDropsIncompleteGroups) {
    EXPECT_EQ(decodeBase64("Y W\x01J*j"), "abc");
    EXPECT_EQ(decodeBase64("YQ==YWI="), "aab");
    EXPECT_EQ(decodeBase64("YWJjYQ"), "abc");
    EXPECT_EQ(decodeBase64("YWJj\xff\xfe"), "abc");
}

TEST(Base64, WholeAndByteAtATimeAgree) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    const char* inputs[] = {
        "SGVsbG8s\r\nIHdvcmxk\nIQ==", "YQ==YWI=", "YW=Jj", "====", "A", all.c_str()};
    for (std::string_view input : inputs)
        EXPECT_EQ(byteAtATime<Base64Decoder>(input), decodeBase64(input)) << input;
    EXPECT_EQ(byteAtATime<Base64Decoder>(all), decodeBase64(all));
}

TEST(Base64, GroupsSplitByBreaksJunkOrPaddingDecodeAlikeHoweverCut) {
    const char* inputs[] = {"SGVsbG8sIHdvcmxkIQ==SGVs\nbG8sIHdv\r\ncmxk", "SGV\nsbG8sIH*dvcmxkIQ",
                            "YW=JjYWJjYQ==YWJj", "AAAA====BBBBCCCC"};
    for (std::string_view input : inputs)
        expectCutsAgree<Base64Decoder>(input, decodeBase64(input));
    EXPECT_EQ(decodeBase64("SGV\nsbG8sIH*dvcmxkIQ"), "Hello, world");
}

TEST(QuotedPrintable, SoftBreaksHexAndTrailingBlanks) {
    EXPECT_EQ(decodeQuotedPrintable("=41=\nB"), "AB");
    EXPECT_EQ(decodeQuotedPrintable("=41=\r\nB"), "AB");
    EXPECT_EQ(decodeQuotedPrintable("a  \nb"), "a\nb");
    EXPECT_EQ(decodeQuotedPrintable("caf=e9 ok"), "caf\xe9 ok");
    EXPECT_EQ(decodeQuotedPrintable("inner  blanks stay  "), "inner  blanks stay  ");
}

TEST(QuotedPrintable, KeepsWhatIsNotAnEscape) {
    EXPECT_EQ(decodeQuotedPrintable("a=zzb"), "a=zzb");
    EXPECT_EQ(decodeQuotedPrintable("end="), "end=");
    EXPECT_EQ(decodeQuotedPrintable("end=4"), "end=4");
}

TEST(QuotedPrintable, WholeAndByteAtATimeAgree) {
    const char* inputs[] = {"=41=\nB", "a  \nb  \r\n=\r\n=4", "x=3D=3d=zz=\n", "  \n \n", "a=\r"};
    for (std::string_view input : inputs)
        EXPECT_EQ(byteAtATime<QuotedPrintableDecoder>(input), decodeQuotedPrintable(input))
            << input;
}

TEST(QuotedPrintable, BlanksAndEscapesDecodeAlikeHoweverCut) {
    const char* inputs[] = {"caf=E9 au lait  \nna=EFve =\nsoft  =\r\nend  ",
                            "a \t \n  =3D  =zz =4  \r\n x", "   \n\n= \n=\r=\n"};
    for (std::string_view input : inputs) {
        expectCutsAgree<QuotedPrintableDecoder>(input, decodeQuotedPrintable(input));
    }
    EXPECT_EQ(decodeQuotedPrintable("caf=E9 au lait  \nna=EFve =\nsoft  =\r\nend  "),
              "caf\xe9 au lait\nna\xefve soft  end  ");
}

TEST(MimeToken, EqualityIgnoresCaseAndLeadingX) {
    EXPECT_TRUE(isKeyEqual("x-zell", "zell"));
    EXPECT_TRUE(isKeyEqual("X-Foo", "foo"));
    EXPECT_TRUE(isKeyEqual("X-BASE64", "base64"));
    EXPECT_TRUE(isKeyEqual("x-a", "X-A"));
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

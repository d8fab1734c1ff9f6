// Encoded header words, the system character set and ASCII transliteration.
#include <gtest/gtest.h>

#include "message/charset.h"
#include "message/headerword.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using HeaderWordTest = test::QuillTest;  // captures the diagnostic lines

const char* const kSorry = "Sorry, can't decode MIME BASE64 headers yet\n";

struct WordRow {
    const char* name;
    std::string input;
    std::string output;
    std::vector<std::string> diagnostics;
};

const std::vector<WordRow>& wordRows() {
    static const std::vector<WordRow> rows = {
        {"q_latin1", "=?iso-8859-1?q?caf=E9?=", "caf\xe9", {}},
        {"hex_either_case", "=?ISO-8859-1?Q?=e9=Ea?=", "\xe9\xea", {}},
        {"underscore_only_inside", "a_b =?iso-8859-1?q?x_y?= c_d", "a_b x y c_d", {}},
        {"stray_end_outside", "what?= now", "what?= now", {}},
        {"space_between_words_kept", "=?iso-8859-1?q?a?= =?iso-8859-1?q?b?=", "a b", {}},
        {"soft_line_break", "=?iso-8859-1?q?a=\nb?=", "ab", {}},
        {"bad_hex_kept", "=?iso-8859-1?q?a=zz=4?=", "a=zz=4", {}},
        {"unterminated_word", "Re: =?iso-8859-1?q?abc", "Re: abc", {}},
        {"no_word", "plain = ? text", "plain = ? text", {}},
        {"base64_left_encoded", "=?iso-8859-1?b?Y2Fm6Q==?= x", "Y2Fm6Q== x", {kSorry}},
        {"unknown_charset", "=?koi8-r?q?=F0?=", "\xf0", {"Header charset koi8-r is unsupported\n"}},
        {"utf8_bytes_pass_through",
         "=?UTF-8?Q?caf=C3=A9?=",
         "caf\xc3\xa9",
         {"Header charset UTF-8 is unsupported\n"}},
        {"missing_charset_end",
         "Re: =?iso-8859-1",
         "Re: ",
         {"Missing terminating '?' in MIME 8-bit header: Re: =?iso-8859-1\n"}},
        {"unknown_encoding_read_as_q",
         "=?iso-8859-1?x?a_b?= z",
         "a b z",
         {"Malformed MIME 8-bit header encoding: =?iso-8859-1?X?a_b?= z\n"}},
        {"encoding_without_question_mark",
         "=?iso-8859-1?qa_b?=",
         "a b",
         {"Malformed MIME 8-bit header encoding: =?iso-8859-1?Qa_b?=\n"}},
        {"text_ends_after_charset",
         "x =?iso-8859-1?",
         "x ",
         {"Malformed MIME 8-bit header encoding: =?iso-8859-1?\n"}},
        {"long_charset_cut",
         "=?" + std::string(100, 'c') + "?q?a?=",
         "a",
         {"Header charset " + std::string(79, 'c') + " is unsupported\n"}},
    };
    return rows;
}

TEST_F(HeaderWordTest, DecodesInPlace) {
    for (const WordRow& row : wordRows()) {
        SCOPED_TRACE(row.name);
        logLines.clear();
        std::string text = row.input;
        decodeMimeHeaderWords(text);
        EXPECT_EQ(text, row.output);
        EXPECT_EQ(logLines, row.diagnostics);

        std::string cstring = row.input;
        EXPECT_STREQ(decodeMimeHeaderWords(cstring.data()), row.output.c_str());
    }
}

TEST_F(HeaderWordTest, LengthFormLeavesTheRestOfTheBuffer) {
    std::string buffer = "=?iso-8859-1?q?=41?=|tail";
    std::size_t length = decodeMimeHeaderWords(buffer.data(), buffer.find('|'));
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(buffer.substr(0, 1), "A");
    EXPECT_EQ(buffer.substr(buffer.size() - 5), "|tail");
}

TEST(CharsetTest, ToAsciiTable) {
    struct Row {
        int byte;
        const char* text;
    } rows[] =
        {
            {65, "A"},   {251, "ss"}, {210, "1/4"}, {254, "_"},   {128, " "},
            {144, "TH"}, {181, "|"},  {185, "\""},  {188, "..."}, {209, "+-"},
            {225, "AE"}, {255, "_"},  {-5, "ss"},  // a sign-extended 251
        };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.byte);
        EXPECT_EQ(toAscii(row.byte), row.text);
    }
    EXPECT_EQ(toAscii(0), std::string_view("\0", 1));
}

TEST(CharsetTest, EveryByteBecomesPrintableAscii) {
    for (int byte = 128; byte < 256; ++byte) {
        SCOPED_TRACE(byte);
        std::string_view text = toAscii(byte);
        ASSERT_FALSE(text.empty());
        for (char c : text) EXPECT_TRUE(c >= ' ' && c <= '~');
    }
    EXPECT_EQ(asciiTransliteration("Stra\xfb"
                                   "e \xd3 ok"),
              "Strasse 1/2 ok");
}

}  // namespace
}  // namespace quill

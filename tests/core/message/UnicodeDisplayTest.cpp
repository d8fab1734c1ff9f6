// Unicode display of headers and bodies: encoded words in any charset, text
// in its declared charset, and the Latin-1 fallback that never loses a byte.
#include <gtest/gtest.h>

#include <string>

#include "message/headertext.h"
#include "message/unicode.h"

namespace quill {
namespace {

struct Row {
    const char* name;
    std::string input;
    std::string output;
};

TEST(HeaderTextTest, DecodesEncodedWords) {
    const Row rows[] = {
        {"q_latin1", "=?iso-8859-1?q?caf=E9?=", "caf\u00e9"},
        {"b_utf8", "=?UTF-8?B?VGFjayBhbGxh?=", "Tack alla"},
        {"b_without_padding", "=?utf-8?b?w6k?=", "\u00e9"},
        {"q_underscore_is_space", "=?utf-8?Q?a_b=5F?=", "a b_"},
        {"koi8_r", "=?koi8-r?B?8NLJ18XU?=", "\u041f\u0440\u0438\u0432\u0435\u0442"},
        {"iso_2022_jp", "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=", "\u65e5\u672c\u8a9e"},
        {"windows_1252_quotes", "=?windows-1252?Q?=93hi=94?=", "\u201chi\u201d"},
        {"adjacent_words_joined", "=?utf-8?q?a?= =?utf-8?q?b?=", "ab"},
        {"adjacent_across_fold", "=?utf-8?q?a?=\n\t=?utf-8?q?b?=", "ab"},
        {"character_split_between_words", "=?utf-8?B?ww==?= =?utf-8?B?qQ==?=", "\u00e9"},
        {"different_charsets_joined", "=?iso-8859-1?q?=E9?= =?koi8-r?q?=F0?=", "\u00e9\u041f"},
        {"space_to_text_kept", "=?utf-8?q?Re:?= hello =?utf-8?q?you?=", "Re: hello you"},
        {"language_suffix", "=?utf-8*en?q?hi?=", "hi"},
        {"raw_utf8_kept", "Beaupr\xc3\xa9", "Beaupr\u00e9"},
        {"raw_latin1_read_as_latin1", "Beaupr\xe9", "Beaupr\u00e9"},
        {"fold_removed", "a long\n subject", "a long subject"},
        {"unknown_charset_latin1", "=?x-nothing?q?=E9?=", "\u00e9"},
        {"iconv_options_not_passed", "=?utf-8//TRANSLIT?q?=E9?=", "\u00e9"},
        {"wrong_charset_latin1", "=?utf-8?q?=E9t=E9?=", "\u00e9t\u00e9"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(headerTextToUtf8(row.input), row.output);
    }
}

TEST(HeaderTextTest, MalformedWordsStayAsWritten) {
    const char* const rows[] = {
        "=?utf-8?x?abc?=",   // unknown encoding
        "=?utf-8?b?ab!c?=",  // not base64
        "=?utf-8?q?a b?=",   // space inside the word
        "=??q?abc?=",        // empty charset
        "=?utf-8?q?abc",     // unterminated
        "=?utf-8?qabc?=",    // no "?" after the encoding
        "what?= =? now",     // stray markers
    };
    for (const char* row : rows) {
        SCOPED_TRACE(row);
        EXPECT_EQ(headerTextToUtf8(row), row);
    }
}

TEST(BodyCharsetTest, ConvertsDeclaredCharsets) {
    struct CharsetRow {
        const char* name;
        const char* charset;
        std::string bytes;
        std::string utf8;
    };
    const CharsetRow rows[] = {
        {"utf8", "UTF-8", "\xd0\x94\xe2\x82\xac", "\u0414\u20ac"},
        {"latin1", "ISO-8859-1", "\xe9\xfc", "\u00e9\u00fc"},
        {"latin9_euro", "ISO-8859-15", "\xa4", "\u20ac"},
        {"windows_1258", "windows-1258", "\x80", "\u20ac"},
        {"iso_2022_jp", "iso-2022-jp", "\x1b$BF|K\\\x1b(B", "\u65e5\u672c"},
        {"gb18030", "GB18030", "\xd6\xd0", "\u4e2d"},
        {"ks_c_alias", "ks_c_5601-1987", "\xc7\xd1", "\ud55c"},
        {"no_charset_utf8", "us-ascii", "caf\xc3\xa9", "caf\u00e9"},
        {"unknown_falls_back", "x-martian", "caf\xe9", "caf\u00e9"},
        {"utf8_that_is_latin1", "utf-8", "caf\xe9 \xff", "caf\u00e9 \u00ff"},
        {"truncated_jis", "iso-2022-jp", "\x1b$BF", "\x1b$BF"},
        {"nul_kept", "utf-8", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const CharsetRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::string out = textToUtf8(row.bytes, row.charset);
        EXPECT_EQ(out, row.utf8);
        EXPECT_TRUE(isValidUtf8(out));
    }
}

TEST(BodyCharsetTest, Utf8Validation) {
    const struct {
        const char* name;
        std::string bytes;
        bool valid;
    } rows[] = {
        {"ascii", "abc", true},
        {"two_bytes", "\xc3\xa9", true},
        {"four_bytes", "\xf0\x9f\x98\x80", true},
        {"overlong", "\xc0\xaf", false},
        {"surrogate", "\xed\xa0\x80", false},
        {"past_unicode", "\xf4\x90\x80\x80", false},
        {"cut_short", "\xe2\x82", false},
        {"lone_continuation", "\x80", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(isValidUtf8(row.bytes), row.valid);
    }
}

TEST(BodyCharsetTest, Latin1RoundTrip) {
    std::string every;
    for (int b = 1; b < 256; ++b) every.push_back(static_cast<char>(b));
    EXPECT_EQ(utf8ToLatin1(latin1ToUtf8(every)), every);
    EXPECT_EQ(utf8ToLatin1("\u65e5x"), "?x");
}

}  // namespace
}  // namespace quill

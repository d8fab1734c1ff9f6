// HTML bodies read into formatted text: what reading needs is kept, anything
// active or remote is dropped, and no input stops the reader.
#include <gtest/gtest.h>

#include <string>

#include "richtext/HtmlReader.h"
#include "support/Rows.h"

namespace quill {
namespace {

std::string described(std::string_view html) {
    return HtmlReader::read(html, CharFormat()).describe();
}

std::string text(std::string_view html) { return HtmlReader::read(html, CharFormat()).plainText(); }

TEST(HtmlReaderTest, KeepsWhatReadingNeeds) {
    test::expectRows(
        text,
        {
            {"<p>one</p><p>two</p>", "one\n\ntwo\n"},
            {"  a \n\t b  ", "a b\n"},
            {"a<br>b<br/>c", "a\nb\nc\n"},
            {"&lt;&amp;&gt; &eacute;&#233;&#xE9; &euro; &bogus; &",
             "<&> \u00e9\u00e9\u00e9 "
             "\u20ac &bogus; &\n"},
            {"&#0;&#xD800;&#99999999;", "\ufffd\ufffd\ufffd\n"},
            {"<ul><li>a<li>b</ul>", "\u2022 a\n\u2022 b\n"},
            {"<ol><li>a</li><li>b</li></ol>", "1. a\n2. b\n"},
            {"<table><tr><th>k</th><td>v</td></tr><tr><td>1</td><td>2</td></tr></table>",
             "k\tv\n1\t2\n"},
            {"<a href=\"https://x.org/?a=1&amp;b=2\">site</a>", "site <https://x.org/?a=1&b=2>\n"},
            {"<a href='https://x.org'>https://x.org</a>", "https://x.org\n"},
            {"<a href=\"mailto:a@x\">a@x</a>", "a@x\n"},
            {"<img src=x alt=\"Logo\">", "[Logo]\n"},
            {"<pre>a  b\n c</pre>", "a  b\n c\n"},
            {"<!DOCTYPE html><!-- hidden -->shown", "shown\n"},
            {"a < b <3", "a < b <3\n"},
            {"a<b", "a\n"},
            {"<P><B>x</B></P>", "x\n"},
        });
}

TEST(HtmlReaderTest, FormatsFollowTheMarkup) {
    test::expectRows(described, {
                                    {"<b>a<i>b</i></b>c", "{b|a}{b i|b}c\n"},
                                    {"<b><i>a</b>b</i>c", "{b i|a}{i|b}c\n"},
                                    {"<h1>T</h1>x", "{b s16|T}\n\nx\n"},
                                    {"<code>x</code>", "{f=Courier|x}\n"},
                                    {"<ul><li>a<ul><li>b</ul></ul>",
                                     "<left fi24 li24>\u2022 a\n<left fi48 li48>\u2022 b\n"},
                                    {"<a href=\"https://x\">y</a>", "{u|y} <https://x>\n"},
                                    {"<a name=\"top\">y</a>", "y\n"},
                                });
}

// Each input must read without a crash into plain text with no cell, so
// nothing in the result can make the view fetch anything; and the active or
// remote part must not show as text either.
TEST(HtmlReaderTest, HostileInputIsDroppedAndNothingFetchable) {
    const struct {
        const char* name;
        std::string html;
        const char* mustNotShow;
    } rows[] = {
        {"script", "<script>document.write('owned')</script>ok", "owned"},
        {"script_unterminated", "ok<script>var owned", "owned"},
        {"script_end_in_string", "<script>x='</scr'+'ipt>owned'</script>ok", "owned"},
        {"iframe", "<iframe src=\"https://evil.example/\">owned</iframe>ok", "evil"},
        {"remote_image", "<img src=\"https://evil.example/t.gif\" width=1>ok", "evil"},
        {"css_url",
         "<style>body{background:url(https://evil.example/x)}</style>"
         "<p style=\"background:url('https://evil.example/y')\">ok</p>",
         "evil"},
        {"meta_refresh",
         "<head><meta http-equiv=refresh content=\"0;url=https://evil.example\">"
         "<title>owned</title></head>ok",
         "evil"},
        {"javascript_link", "<a href=\"javascript:alert('owned')\">ok</a>", "owned"},
        {"data_link", "<a href=\"data:text/html,owned\">ok</a>", "owned"},
        {"form",
         "<form action=\"https://evil.example\"><input value=owned>"
         "<button>owned</button><select><option>owned</select>"
         "<textarea>owned</textarea></form>ok",
         "owned"},
        {"object_embed",
         "<object data=\"https://evil.example/f.swf\">owned</object>"
         "<embed src=\"https://evil.example/e\">ok",
         "evil"},
        {"svg", "<svg><image href=\"https://evil.example/i\"/><text>owned</text></svg>ok", "owned"},
        {"link_stylesheet", "<link rel=stylesheet href=\"https://evil.example/s.css\">ok", "evil"},
        {"base_href", "<base href=\"https://evil.example/\"><img src=a.gif>ok", "evil"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RichText out = HtmlReader::read(row.html, CharFormat());
        EXPECT_NE(out.plainText().find("ok"), std::string::npos) << out.plainText();
        EXPECT_EQ(out.plainText().find(row.mustNotShow), std::string::npos) << out.plainText();
        EXPECT_TRUE(out.attachments().empty());
        EXPECT_TRUE(out.isUtf8());
    }
}

TEST(HtmlReaderTest, HugeNestingAndCutInputStillRead) {
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "<div><b><ul><li><a href=x><blockquote>";
    deep += "bottom";
    RichText out = HtmlReader::read(deep, CharFormat());
    EXPECT_NE(out.plainText().find("bottom"), std::string::npos);
    EXPECT_EQ(text("<p a=\"unterminated>x"), "");
    EXPECT_EQ(text(std::string("a\0b", 3)), std::string("a\0b\n", 4));
}

}  // namespace
}  // namespace quill

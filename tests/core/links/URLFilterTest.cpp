#include <gtest/gtest.h>

#include "links/URLFilter.h"
#include "links/URLMailCell.h"
#include "message/MimeBodyBuilder.h"
#include "message/MimeEncoder.h"
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"
#include "settings/Defaults.h"
#include "support/FakeProcessLauncher.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

std::vector<std::string> urls(std::string_view text) {
    std::vector<std::string> found;
    for (const URLFilter::Link& link : URLFilter::findLinks(text))
        found.emplace_back(text.substr(link.start, link.length));
    return found;
}

TEST(URLFilterScan, FindsWhatATableOfTextsHolds) {
    struct Case {
        const char* text;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"See http://example.com/a.html.", {"http://example.com/a.html"}},
        {"See http://example.com/a.. Then", {"http://example.com/a."}},
        {"Ask (ftp://ftp.example.org/pub) now", {"ftp://ftp.example.org/pub"}},
        {"<http://a.b/c>", {"http://a.b/c"}},
        {"\"gopher://g.example\"", {"gopher://g.example"}},
        {"xhttp://glued.example/ no", {}},
        {"2http://digit.example/ yes", {"http://digit.example/"}},
        // Only ":/" marks a URL: a scheme followed by a bare colon is text.
        {"mail mailto:someone@example.com now", {}},
        {"<mailto:someone@example.com>", {}},
        {"read news:comp.mail.misc daily", {}},
        {"open file:/etc/motd.", {"file:/etc/motd"}},
        {"mail mailto:/someone@example.com now", {"mailto:/someone@example.com"}},
        {"HTTP://upper.example/ is not a known scheme", {}},
        {"ends at the end http://end.example/x?q=1", {"http://end.example/x?q=1"}},
        {"question http://q.example/?", {"http://q.example/"}},
        {"two: news://n.example,file:/etc/motd!", {"news://n.example,file:/etc/motd"}},
        {"tab\thttp://t.example\tand\nnntp://n.example/g\n",
         {"http://t.example", "nntp://n.example/g"}},
        {":/ alone and http:/", {"http:/"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(urls(c.text), c.expected) << c.text;
}

class URLFilterTest : public test::QuillTest {};

TEST_F(URLFilterTest, PutsAButtonBeforeEachURLAndKeepsTheText) {
    TextView view;
    view.replaceSel("Go to http://a.example/ or (ftp://b.example).\n");
    URLFilter::willDisplayText(view);
    const std::string& text = view.plainText();
    EXPECT_EQ(text,
              "Go to \xAChttp://a.example/ or (\xAC"
              "ftp://b.example).\n");
    const Attachment* first = view.richText().attachmentAt(6);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(URLMailCell::urlOf(*first), "http://a.example/");
    const Attachment* second =
        view.richText().attachmentAt(text.find("\xAC"
                                               "ftp"));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(URLMailCell::urlOf(*second), "ftp://b.example");
    EXPECT_EQ(view.selStart(), 0u);
}

TEST_F(URLFilterTest, LeavesTheTextAloneWhenURLsAreNotShown) {
    Defaults::shared().setShowURLs(false);
    TextView view;
    view.replaceSel("http://a.example/\n");
    URLFilter::willDisplayText(view);
    EXPECT_EQ(view.plainText(), "http://a.example/\n");
}

TEST_F(URLFilterTest, UTF8TextGetsItsButtonsToo) {
    TextView view;
    view.setUtf8(true);
    view.replaceSel("Gr\xC3\xBC\xC3\x9F http://\xC3\xA4.example/\n");
    URLFilter::willDisplayText(view);
    auto cells = view.richText().attachments();
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(URLMailCell::urlOf(*cells[0]), "http://\xC3\xA4.example/");
}

// Stored rich text keeps the button as a "TesselURL" directive holding the URL.
TEST_F(URLFilterTest, AButtonIsStoredAsItsDirectiveAndReadBack) {
    TextView view;
    view.replaceSel("See http://a.example/{x}\n");
    URLFilter::insertLinkCells(view);
    const std::string rtf = RtfWriter::write(view.richText());
    EXPECT_EQ(rtf,
              "{\\rtf1\\ansi\\deff0{\\fonttbl\\f0\\fswiss Helvetica;}\n"
              "\\pard\\ql\\plain\\f0\\fs24 See {{\\TesselURL http://a.example/\\{x\\}}\n"
              "\xAC}http://a.example/\\{x\\}\\\n}");
    std::optional<RichText> read = RtfReader::read(rtf);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->plainText(), view.plainText());
    ASSERT_EQ(read->attachments().size(), 1u);
    EXPECT_EQ(URLMailCell::urlOf(*read->attachments()[0]), "http://a.example/{x}");
    EXPECT_EQ(RtfWriter::write(*read), rtf);
}

// A text sent or saved with buttons in it holds each URL once, and no cell byte.
TEST_F(URLFilterTest, ASentTextHoldsEachURLOnce) {
    MimeEncoder::setMissingAttachmentString("[missing]");
    for (bool rich : {false, true}) {
        TextView view;
        view.replaceSel("Go to http://a.example/ now\n");
        if (rich) {
            view.setSel(0, 5);
            view.setFontTraits(kBoldTrait);
        }
        URLFilter::insertLinkCells(view);
        MimeMessage message;
        MimeBodyBuilder::setBodyFromText(message, view);
        ByteSink sink;
        message.writeToStream(sink);
        const std::string bytes = sink.take();
        size_t first = bytes.find("http://a.example/");
        ASSERT_NE(first, std::string::npos) << rich;
        size_t alternatives = rich ? 2 : 1;
        size_t count = 0;
        for (size_t at = first; at != std::string::npos; at = bytes.find("http://a.ex", at + 1))
            ++count;
        EXPECT_EQ(count, alternatives) << bytes;
        EXPECT_EQ(bytes.find('\xAC'), std::string::npos) << bytes;
        EXPECT_EQ(bytes.find("[missing]"), std::string::npos) << bytes;
    }
    MimeEncoder::setMissingAttachmentString(std::nullopt);
}

struct ScriptedRemote : BrowserRemote {
    bool answer = false;
    std::vector<std::string> asked;
    bool openURL(const std::string& url) override {
        asked.push_back(url);
        return answer;
    }
};

TEST_F(URLFilterTest, ARunningBrowserThatTakesTheURLStartsNothing) {
    ScriptedRemote remote;
    remote.answer = true;
    test::FakeProcessLauncher launcher;
    EXPECT_TRUE(URLMailCell::loadURL("http://a.example/", &remote, launcher));
    EXPECT_EQ(remote.asked, std::vector<std::string>{"http://a.example/"});
    EXPECT_TRUE(launcher.launches().empty());
    EXPECT_FALSE(URLMailCell::loadURL("", &remote, launcher));
}

// The setting's own words stay words; the URL arrives as one more, whatever it holds.
TEST_F(URLFilterTest, TheBrowserCommandReallyReceivesTheURLUnchanged) {
    std::string out = tmp() + "/got";
    std::string script = writeFile("browser", "#!/bin/sh\nprintf '%s|' \"$@\" > " + out +
                                                  ".tmp\nmv " + out + ".tmp " + out + "\n");
    chmod(script.c_str(), 0755);
    Defaults::shared().setWebBrowserPath(script + " --new-tab");
    const std::string hostile = "http://x.example/a b';echo injected > " + tmp() + "/bad'$(id)";
    ASSERT_TRUE(URLMailCell::loadURL(hostile, nullptr, processLauncher()));
    for (int i = 0; i < 200 && test::slurp(out).empty(); ++i) usleep(10000);
    EXPECT_EQ(test::slurp(out), "--new-tab|" + hostile + "|");
    EXPECT_NE(access((tmp() + "/bad").c_str(), F_OK), 0);
}

}  // namespace
}  // namespace quill

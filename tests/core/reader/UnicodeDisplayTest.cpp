// The Unicode display in a mailbox window: list texts and message text
// decoded from their charsets, HTML-only mail readable inline, and with the
// setting off exactly the ISO 8859-1 display; the index bytes never change.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include "app/MailDriver.h"
#include "base/utf8.h"
#include "message/MimeMessage.h"
#include "reader/MailReader.h"
#include "reader/MessageRenderer.h"
#include "settings/Defaults.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string mail(const std::string& headers, const std::string& body) {
    return "From sender Mon Mar  4 10:00:00 2024\n" + headers + "\n" + body + "\n\n";
}

const std::string kMailbox =
    mail(
        "From: =?utf-8?q?Beaupr=C3=A9?= <b@x.org>\nSubject: =?UTF-8?B?VGFjayBhbGxh?=\n"
        "MIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n"
        "Content-Transfer-Encoding: 8bit\n",
        "Gr\xc3\xbc\xc3\x9f"
        "e") +
    mail(
        "From: =?ISO-2022-JP?B?GyRCRnxLXBsoQg==?= <jp@x.jp>\n"
        "Subject: =?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=\nMIME-Version: 1.0\n"
        "Content-Type: text/plain; charset=ISO-2022-JP\n",
        "\x1b$BF|K\\\x1b(B") +
    mail(
        "From: ivan@x.ru\nSubject: =?koi8-r?Q?=F0=D2=C9=D7=C5=D4?=\nMIME-Version: 1.0\n"
        "Content-Type: text/plain; charset=koi8-r\nContent-Transfer-Encoding: 8bit\n",
        "\xf0\xd2\xc9\xd7\xc5\xd4") +
    mail(
        "From: shop@x.com\nSubject: Offer\nMIME-Version: 1.0\n"
        "Content-Type: text/html; charset=utf-8\n",
        "<html><head><script>alert(1)</script></head><body><p><b>Big</b> "
        "<a href=\"https://x.com/a\">sale</a></p><img src=\"https://t.x.com/p.gif\"></body>"
        "</html>") +
    mail("From: Caf\xc3\xa9 <c@x>\nSubject: Raw caf\xe9\n", "plain") +
    mail("From: =?utf-8?q?CR=C3=A9?= <c@x>\r\nSubject: =?utf-8?q?crlf_=C3=A9?=\r\n\r",
         "Subject: no");

class UnicodeDisplayTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        registerMimeMessageClass();
        ::mkdir((mailDir() + "/U.mbox").c_str(), 0700);
        writeFile("home/Mail/U.mbox/mbox", kMailbox);
    }
    std::unique_ptr<MailReader> open(bool unicode) {
        Defaults::shared().setUnicodeDisplay(unicode);
        return MailReader::open(mailDir() + "/U.mbox", MailDriver::shared().mailContext(),
                                MailDriver::shared());
    }
    static const std::string& show(MailReader& reader, int row) {
        reader.matrix().clearSelection();
        reader.matrix().selectRow(row);
        reader.selectionDidChange();
        return reader.text().plainText();
    }
};

TEST_F(UnicodeDisplayTest, ListTextsAreDecodedFromTheMessagesHeaders) {
    auto reader = open(true);
    ASSERT_TRUE(reader);
    TocMatrix& list = reader->matrix();
    EXPECT_TRUE(list.utf8Texts());
    const struct {
        const char* from;
        const char* subject;
    } rows[] = {
        {"Beaupr\u00e9", "Tack alla"},
        {"\u65e5\u672c", "\u65e5\u672c\u8a9e"},
        {"ivan@x.ru", "\u041f\u0440\u0438\u0432\u0435\u0442"},
        {"shop@x.com", "Offer"},
        {"Caf\u00e9", "Raw caf\u00e9"},
        {"CR\u00e9", "crlf \u00e9"},
    };
    for (int row = 0; row < 6; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(list.loadedTextsAtRow(row).from, rows[row].from);
        EXPECT_EQ(list.loadedTextsAtRow(row).subject, rows[row].subject);
    }
}

TEST_F(UnicodeDisplayTest, BodiesAreShownInTheirCharsets) {
    auto reader = open(true);
    ASSERT_TRUE(reader);
    const struct {
        int row;
        const char* text;
    } rows[] = {
        {0, "Subject: Tack alla\n\nGr\u00fc\u00dfe"},
        {1, "Subject: \u65e5\u672c\u8a9e\n\n\u65e5\u672c"},
        {2, "\n\n\u041f\u0440\u0438\u0432\u0435\u0442"},
        {4, "From: Caf\u00e9 <c@x>\nSubject: Raw caf\u00e9\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        const std::string& shown = show(*reader, row.row);
        EXPECT_TRUE(reader->text().isUtf8());
        EXPECT_THAT(shown, HasSubstr(row.text));
        EXPECT_TRUE(isValidUtf8(shown));
    }
}

TEST_F(UnicodeDisplayTest, WithTheSettingOffListAndBodiesKeepTheirBytes) {
    auto reader = open(false);
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->matrix().utf8Texts());
    EXPECT_EQ(reader->matrix().loadedTextsAtRow(0).subject, "VGFjayBhbGxh");
    EXPECT_EQ(reader->matrix().loadedTextsAtRow(4).subject, "Raw caf\xe9");
    EXPECT_THAT(show(*reader, 1), HasSubstr("\n\x1b$BF|K\\\x1b(B"));
    EXPECT_FALSE(reader->text().isUtf8());
    EXPECT_THAT(show(*reader, 0), HasSubstr("Subject: VGFjayBhbGxh\n"));
}

TEST_F(UnicodeDisplayTest, HtmlOnlyMailIsReadInlineAndStillOfferedAsAFile) {
    auto reader = open(true);
    ASSERT_TRUE(reader);
    std::string shown = show(*reader, 3);
    EXPECT_THAT(shown, HasSubstr("Big sale <https://x.com/a>"));
    EXPECT_THAT(shown, Not(HasSubstr("alert")));
    EXPECT_THAT(shown, Not(HasSubstr("t.x.com")));
    std::vector<const Attachment*> cells = reader->text().richText().attachments();
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_THAT(cells[0]->name, HasSubstr(".htm"));
    size_t big = shown.find("Big");
    EXPECT_TRUE(reader->text().richText().charFormatAt(big).traits & kBoldTrait);

    reader.reset();
    auto plain = open(false);
    EXPECT_THAT(show(*plain, 3), Not(HasSubstr("Big")));
    EXPECT_EQ(plain->text().richText().attachments().size(), 1u);
}

TEST_F(UnicodeDisplayTest, TheIndexIsTheSameWhicheverDisplay) {
    std::string index = mailDir() + "/U.mbox/table_of_contents";
    open(false)->matrix().loadAllCells();
    std::string latin1Index = test::slurp(index);
    ::unlink(index.c_str());
    open(true)->matrix().loadAllCells();
    EXPECT_EQ(test::slurp(index), latin1Index);
    EXPECT_NE(latin1Index.find("VGFjayBhbGxh"), std::string::npos);
}

TEST_F(UnicodeDisplayTest, EveryPartOfAMultipartIsDecoded) {
    std::string text = mail(
        "From: a@b\nSubject: t\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=BB\n",
        "--BB\nContent-Type: text/enriched; charset=utf-8\n\n<bold>K\xc3\xb6ln</bold>\n\n"
        "--BB\nContent-Type: message/rfc822\n\nFrom: =?koi8-r?B?6dfBzg==?= <i@x>\n"
        "Subject: =?utf-8?q?caf=C3=A9?=\n\nraw \xc3\xa9 body\n"
        "--BB\nContent-Type: text/plain; charset=windows-1251\n\n\xcf\xf0\xe8\n--BB--");
    TextView view;
    view.setUtf8(true);
    ASSERT_TRUE(renderMessage(text, mailDir(), filteredHeadersFrom(Defaults::shared()), view));
    EXPECT_EQ(view.plainText(),
              "From: a@b\nSubject: t\n\nK\u00f6ln\n\nFrom: \u0418\u0432\u0430\u043d <i@x>\n"
              "Subject: caf\u00e9\n\nraw \u00e9 body\n\n\u041f\u0440\u0438");
    size_t koeln = view.plainText().find("K");
    EXPECT_TRUE(view.richText().charFormatAt(koeln).traits & kBoldTrait);
}

}  // namespace
}  // namespace quill

// MIME writing: encoded words, the quoted-printable and base64 line rules,
// the choice of encoding and charset, header order and parameter quoting,
// boundaries, bodies built from composed texts, signatures, and what is
// written read back by Quill's own reader.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "message/MimeBodyBuilder.h"
#include "message/MimeEncoder.h"
#include "message/MimeMessage.h"
#include "message/mimetypes.h"
#include "message/mimewrite.h"
#include "richtext/DocumentDirectory.h"
#include "richtext/TextView.h"
#include "support/QuillTest.h"
#include "support/Rows.h"

namespace quill {
namespace {

class MimeEncodingTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        MailMessage::setDefaultAttachmentDirectory(tmp());
        MailMessage::setLineLength(0);
        resetMimeTypeMap();
        setBoundaryRandomSource([] { return 4711L; });
    }
    void TearDown() override {
        setBoundaryRandomSource({});
        MimeEncoder::setAutoAlternative(true);
        MimeEncoder::setWrite8BitText(false);
        MimeEncoder::setMissingAttachmentString(std::nullopt);
        MailMessage::setLineLength(0);
        MailMessage::setDefaultAttachmentDirectory(std::nullopt);
        QuillTest::TearDown();
    }

    static std::string qp(std::string_view body, int width = 0) {
        ByteSink sink;
        writeQuotedPrintable(body, sink, width);
        return sink.take();
    }
    static std::string b64(std::string_view body, int width = 0) {
        ByteSink sink;
        writeBase64(body, sink, width);
        return sink.take();
    }
    static std::string header(std::string_view key, std::string_view value) {
        ByteSink sink;
        MimeEncoder::writeHeaderKey(key, value, sink);
        return sink.take();
    }
    static std::string written(MimeMessage& message) {
        ByteSink sink;
        EXPECT_TRUE(message.writeToStream(sink));
        return sink.take();
    }
    // The encoding and charset chosen for body under type/subtype.
    static std::string chosen(std::string_view body, const char* type, const char* subtype) {
        MimeMessage message;
        message.setBody(body);
        message.setMimeType(type, subtype);
        MimeEncoder::chooseBestEncodingAndCharsetIfText(message);
        const std::string* charset = message.mimeParameterValueForKey("charset");
        return *message.mimeEncoding() + (charset ? " " + *charset : "");
    }
    static std::unique_ptr<MimeMessage> reread(const std::string& bytes) {
        ByteSource stream(bytes);
        return MimeMessage::initFromStream(stream);
    }
};

TEST_F(MimeEncodingTest, EncodedWordsForEightBitHeaderWords) {
    EXPECT_EQ(header("Subject", "Plain words"), "Subject: Plain words\n");
    EXPECT_EQ(header("Subject",
                     "Caf\xE9 cr\xE8me br\xFBl\xE9"
                     "e"),
              "Subject: =?iso-8859-1?Q?Caf=E9?= =?iso-8859-1?Q?_cr=E8me?= \n"
              "\t=?iso-8859-1?Q?_br=FBl=E9e?=\n");
    // Second and third words 8-bit: the third begins with the blank it follows.
    EXPECT_EQ(header("Subject",
                     "Hello W\xF6rld Gr\xFC\xDF"
                     "e"),
              "Subject: Hello =?iso-8859-1?Q?W=F6rld?= =?iso-8859-1?Q?_Gr=FC=DFe?=\n");
    // "?", "=" and "_" are escaped inside a word; parentheses end it.
    EXPECT_EQ(header("From", "J\xF6rg_a=b? (J\xF6rg)"),
              "From: =?iso-8859-1?Q?J=F6rg=5Fa=3Db=3F?= (=?iso-8859-1?Q?J=F6rg?=)\n");
    // Past 50 characters an encoded word starts a continuation line.
    EXPECT_EQ(header("Subject", "a long subject line that runs on and on past fifty d\xE9j\xE0"),
              "Subject: a long subject line that runs on and on past fifty \n"
              "\t=?iso-8859-1?Q?d=E9j=E0?=\n");
    MimeEncoder::setWrite8BitText(true);
    EXPECT_EQ(header("Subject", "Caf\xE9"), "Subject: Caf\xE9\n");
}

TEST_F(MimeEncodingTest, QuotedPrintableEscapesAndSoftBreaks) {
    EXPECT_EQ(qp("na\xEFve = 1\n"), "na=EFve =3D 1\n");
    EXPECT_EQ(qp("From here\nto From there\n"), "=46rom here\nto =46rom there\n");
    EXPECT_EQ(qp("x From "), "x From=20=\n");  // five bytes left: not escaped
    EXPECT_EQ(qp("tail \nend\t"), "tail=20\nend=09=\n");
    EXPECT_EQ(qp("bell\x07\r\n"), "bell=07=0D\n");
    EXPECT_EQ(qp(""), "");
    // Words are kept whole: the break comes after the blank before the word
    // that would pass column 73.
    std::string words;
    for (int i = 0; i < 12; ++i) words += "abcdefg ";
    EXPECT_EQ(qp(words + "\n"),
              "abcdefg abcdefg abcdefg abcdefg abcdefg abcdefg abcdefg abcdefg "
              "abcdefg =\nabcdefg abcdefg abcdefg=20\n");
    // A first word too long for the line breaks after its first byte; a run
    // without blanks is cut when the column passes 73.
    std::string run(100, 'x');
    EXPECT_EQ(qp(run + "\n"), "x=\n" + std::string(74, 'x') + "=\n" + std::string(25, 'x') + "\n");
    EXPECT_EQ(qp(run, 40), "x=\n" + std::string(38, 'x') + "=\n" + std::string(38, 'x') + "=\n" +
                               std::string(23, 'x') + "=\n");
}

TEST_F(MimeEncodingTest, Base64LineBreaking) {
    EXPECT_EQ(b64(""), "");
    EXPECT_EQ(b64("M"), "TQ==\n");
    EXPECT_EQ(b64("Ma"), "TWE=\n");
    std::string line;
    for (int i = 0; i < 19; ++i) line += "YWFh";
    EXPECT_EQ(b64(std::string(57, 'a')), line + "\n");
    EXPECT_EQ(b64(std::string(58, 'a')), line + "\nYQ==\n");
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    std::string out = b64(bytes);
    EXPECT_EQ(out.find('\n'), 76u);
    EXPECT_EQ(out.substr(0, 8), "AAECAwQF");
    EXPECT_EQ(out.substr(out.size() - 9), "/P3+/w==\n");
    // Width 73: lines reach 71 characters within a group and end after it, at 72.
    std::string odd = b64(std::string(60, '\xFF'), 73);
    EXPECT_EQ(odd, std::string(72, '/') + "\n" + std::string(8, '/') + "\n");
}

TEST_F(MimeEncodingTest, EncodingAndCharsetChoice) {
    EXPECT_EQ(chosen("Hello\nworld\n", "text", "plain"), "7bit us-ascii");
    EXPECT_EQ(chosen("caf\xE9\n", "text", "plain"), "quoted-printable iso-8859-1");
    EXPECT_EQ(chosen("{\\rtf1 caf\xE9}", "text", "rtf"), "quoted-printable x-zell");
    EXPECT_EQ(chosen("\xE9\xE9x\n", "text", "plain"), "base64 iso-8859-1");
    std::string tenth(100, 'a'), sixth(60, 'a');
    for (int i = 0; i < 10; ++i) tenth[i * 10] = '\x90';
    for (int i = 0; i < 10; ++i) sixth[i * 6] = '\x90';
    EXPECT_EQ(chosen(tenth, "application", "octet-stream"), "quoted-printable");
    EXPECT_EQ(chosen(sixth, "application", "octet-stream"), "base64");
    EXPECT_EQ(chosen("caf\xE9\n", "message", "rfc822"), "8bit");
    MailMessage::setLineLength(70);
    EXPECT_EQ(chosen(std::string(69, 'a'), "text", "plain"), "7bit us-ascii");
    EXPECT_EQ(chosen(std::string(70, 'a'), "text", "plain"), "quoted-printable us-ascii");
    // Every line after the first counts its newline.
    EXPECT_EQ(chosen("a\n" + std::string(69, 'a'), "text", "plain"), "quoted-printable us-ascii");
    MimeEncoder::setWrite8BitText(true);
    EXPECT_EQ(chosen("caf\xE9\n", "text", "plain"), "8bit iso-8859-1");
}

TEST_F(MimeEncodingTest, ParameterQuoting) {
    test::expectRows([](std::string_view in) { return quotedMimeString(in); },
                     {
                         {"report.pdf", "report.pdf"},
                         {"my report.pdf", "\"my report.pdf\""},
                         {"a\"b\\c", "\"a\\\"b\\\\c\""},
                         {"x=y", "\"x=y\""},
                         {"caf\xE9", "\"caf\xE9\""},
                         {"", "\"\""},
                     });
}

TEST_F(MimeEncodingTest, MultipartWithHeadersInOrderAndBoundaries) {
    MimeMessage message;
    message.setHeaderKey("Subject", "Two parts");
    MimeMessage::PartList parts;
    auto text = std::make_unique<MimeMessage>();
    text->setBody("Hi.\n");
    text->setMimeType("text", "plain");
    text->setMimeDisposition("inline");
    auto data = std::make_unique<MimeMessage>();
    data->setBody(std::string("\x00\x01\x02", 3));
    data->setMimeType("application", "octet-stream");
    data->setMimeParameter("name", "my file");
    data->setMimeDisposition("attachment");
    data->setMimeDispositionParameter("filename", "my file");
    parts.push_back(std::move(text));
    parts.push_back(std::move(data));
    message.setParts(std::move(parts));
    message.setMimeType("multipart", "mixed");
    ByteSink version;
    MailHeaders::writeHeaderKey("MIME-Version", MimeEncoder::versionString(), version);
    EXPECT_EQ(written(message), version.bytes() +
                                    "Content-Type: multipart/mixed; boundary=Tessel-Quill-4711-1\n"
                                    "Content-Transfer-Encoding: 7bit\n"
                                    "Subject: Two parts\n"
                                    "\n--Tessel-Quill-4711-1\n"
                                    "Content-Type: text/plain; charset=us-ascii\n"
                                    "Content-Transfer-Encoding: 7bit\n"
                                    "Content-Disposition: inline\n"
                                    "\n"
                                    "Hi.\n"
                                    "\n--Tessel-Quill-4711-1\n"
                                    "Content-Type: application/octet-stream; name=\"my file\"\n"
                                    "Content-Transfer-Encoding: base64\n"
                                    "Content-Disposition: attachment; filename=\"my file\"\n"
                                    "\n"
                                    "AAEC\n"
                                    "\n--Tessel-Quill-4711-1--\n");
    EXPECT_TRUE(MimeEncoder::versionString().starts_with("1.0 (Tessel Quill "));
    EXPECT_TRUE(MimeEncoder::versionString().ends_with(" Version 1.1)"));
    EXPECT_EQ(makeBoundary(), "Tessel-Quill-4711-2");
    // Written again, the message keeps its boundary and encodings.
    EXPECT_EQ(written(message).find("Tessel-Quill-4711-2"), std::string::npos);
}

TEST_F(MimeEncodingTest, RichTextAlternativesAndAttachments) {
    TextView view;
    view.replaceSel("Plain ");
    view.setFontTraits(kBoldTrait);
    view.replaceSel("bold <tag>");
    view.setFontTraits(0);
    view.replaceSel("\n");
    MimeMessage alternative;
    MimeBodyBuilder::setBodyFromText(alternative, view);
    ASSERT_TRUE(alternative.parts());
    ASSERT_EQ(alternative.parts()->size(), 2u);
    EXPECT_EQ(*alternative.mimeSubtype(), "alternative");
    EXPECT_EQ((*alternative.parts())[0]->stringBody(), "Plain bold <tag>\n");
    EXPECT_EQ(*(*alternative.parts())[1]->mimeSubtype(), "enriched");
    EXPECT_NE((*alternative.parts())[1]->stringBody().find("<bold>bold <<tag>"), std::string::npos);

    MimeEncoder::setAutoAlternative(false);
    MimeMessage enrichedOnly;
    MimeBodyBuilder::setBodyFromText(enrichedOnly, view);
    EXPECT_EQ(*enrichedOnly.mimeSubtype(), "enriched");

    MimeEncoder::setAutoAlternative(true);
    MimeEncoder::setMissingAttachmentString("[file]");
    std::string file = writeFile("picture.gif", std::string("GIF89a\x01\x00\x80", 9));
    ::chmod(file.c_str(), 0640);
    view.replaceSelWithFile(file);
    view.replaceSel("\nAfter.\n");
    MimeMessage mixed;
    MimeBodyBuilder::setBodyFromText(mixed, view);
    const MimeMessage::PartList& top = *mixed.parts();
    EXPECT_EQ(top[0]->stringBody(), "Plain bold <tag>\n[file]\nAfter.\n");
    ASSERT_EQ(*top[1]->mimeSubtype(), "mixed");
    const MimeMessage::PartList& inner = *top[1]->parts();
    ASSERT_EQ(inner.size(), 3u);
    EXPECT_EQ(*inner[1]->mimeType() + "/" + *inner[1]->mimeSubtype(), "image/gif");
    EXPECT_EQ(*inner[1]->mimeParameterValueForKey("x-unix-mode"), "0640");
    EXPECT_EQ(*inner[1]->mimeDispositionParameterValueForKey("filename"), "picture.gif");
    EXPECT_NE(inner[2]->stringBody().find("After."), std::string::npos);
}

TEST_F(MimeEncodingTest, AttachmentNamesKeepTheirEscapedCharacters) {
    TextView view;
    view.replaceSelWithFile(writeFile("caf\xE9 {1}\\x.txt", "menu\n"));
    MimeMessage message;
    MimeEncoder::setAutoAlternative(false);
    MimeBodyBuilder::setBodyFromText(message, view);
    ASSERT_TRUE(message.parts() && !message.parts()->empty());
    const MimeMessage& file = *message.parts()->front();
    EXPECT_EQ(file.stringBody(), "menu\n");
    EXPECT_EQ(*file.mimeParameterValueForKey("name"), "caf\xE9 {1}\\x.txt");
    // Read back, the 8-bit name comes out of its encoded word again.
    auto back = reread(written(message));
    ASSERT_TRUE(back && back->parts());
    EXPECT_EQ(*back->parts()->front()->mimeParameterValueForKey("name"), "caf\xE9 {1}\\x.txt");
}

TEST_F(MimeEncodingTest, DirectoriesAndLinks) {
    std::string dir = tmp() + "/folder";
    ::mkdir(dir.c_str(), 0755);
    writeFile("folder/notes.txt", "notes\n");
    writeFile("folder/notes.txt.tiff", "icon");
    writeFile("folder/lone.tiff", "II*");
    ASSERT_EQ(::symlink("/etc/hostname", (dir + "/link").c_str()), 0);
    auto part = MimeBodyBuilder::partForFile(dir, "folder");
    ASSERT_TRUE(part);
    EXPECT_EQ(*part->mimeSubtype(), "x-folder");
    EXPECT_EQ(*part->mimeDisposition(), "attachment");
    const MimeMessage::PartList& entries = *part->parts();
    ASSERT_EQ(entries.size(), 3u);  // link, lone.tiff, notes.txt
    EXPECT_EQ(*entries[0]->mimeSubtype(), "external-body");
    EXPECT_EQ(*entries[0]->mimeParameterValueForKey("access-type"), "local-file");
    EXPECT_EQ(*entries[0]->mimeParameterValueForKey("name"), "/etc/hostname");
    EXPECT_EQ(*entries[1]->mimeDispositionParameterValueForKey("filename"), "lone.tiff");
    EXPECT_EQ(entries[2]->stringBody(), "notes\n");
    EXPECT_FALSE(MimeBodyBuilder::partForFile(tmp() + "/absent", "absent"));
}

TEST_F(MimeEncodingTest, DocumentDirectoryTravelsAsRtfdAndShowsAsOneDocument) {
    RichText text;
    text.append("See the chart:\n", CharFormat{.traits = kBoldTrait}, ParagraphFormat());
    Attachment cell;
    cell.name = "chart.gif";
    cell.path = writeFile("chart.gif", "GIF89a chart\n");
    text.replaceWithAttachment(text.length(), 0, cell, CharFormat(), ParagraphFormat());
    std::string dir = tmp() + "/Report.attach";
    ASSERT_TRUE(DocumentDirectory::save(dir, text, AttachmentForm::Wire));
    MimeMessage message;
    ASSERT_TRUE(MimeBodyBuilder::setBodyFromDocumentDirectory(message, dir));
    std::string bytes = written(message);
    EXPECT_NE(bytes.find("Content-Type: multipart/x-rtfd;"), std::string::npos);
    auto back = reread(bytes);
    ASSERT_TRUE(back);
    TextView view;
    back->replaceSelWithBodyInView(view);
    EXPECT_EQ(view.plainText(), "See the chart:\n\xAC");
    ASSERT_EQ(view.richText().attachments().size(), 1u);
    const Attachment& shown = *view.richText().attachments()[0];
    EXPECT_EQ(shown.name, "chart.gif");
    EXPECT_EQ(test::slurp(shown.path), "GIF89a chart\n");
    EXPECT_TRUE(view.richText().charFormatAt(0).traits & kBoldTrait);
}

TEST_F(MimeEncodingTest, SignatureGoesWhereTheSubtypeSays) {
    writeFile("home/.signature", "-- \nMe\n");
    MimeMessage mixed;
    MimeMessage::PartList parts;
    auto image = std::make_unique<MimeMessage>();
    image->setMimeType("image", "gif");
    parts.push_back(std::move(image));
    mixed.setParts(std::move(parts));
    mixed.setMimeType("multipart", "mixed");
    EXPECT_TRUE(mixed.addSignature());
    ASSERT_EQ(mixed.parts()->size(), 2u);
    EXPECT_EQ((*mixed.parts())[1]->stringBody(), "\n-- \nMe\n");
    EXPECT_EQ(*(*mixed.parts())[1]->mimeDisposition(), "inline");

    MimeMessage digest;
    digest.setParts({});
    digest.setMimeType("multipart", "digest");
    EXPECT_FALSE(digest.addSignature());
    MimeMessage image2;
    image2.setMimeType("image", "gif");
    EXPECT_FALSE(image2.addSignature());
}

}  // namespace
}  // namespace quill

// MIME messages: header interpretation, transfer and charset decoding,
// multipart splitting (boundaries, preamble, epilogue, nesting, guessing,
// missing ends), the file-type map and body file names, and rendering into a
// view with attachments as icons.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "message/MimeFilter.h"
#include "message/MimeMessage.h"
#include "message/mimetypes.h"
#include "message/mimewrite.h"
#include "richtext/TextView.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

class MimeMessageTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        MailMessage::setDefaultAttachmentDirectory(tmp());
        resetMimeTypeMap();
        registerMimeMessageClass();
    }
    void TearDown() override {
        MailMessage::setDefaultAttachmentDirectory(std::nullopt);
        resetMimeTypeMap();
        QuillTest::TearDown();
    }

    std::unique_ptr<MimeMessage> parse(std::string_view text) {
        ByteSource stream(text);
        auto message = MimeMessage::initFromStream(stream);
        EXPECT_TRUE(message);
        return message;
    }

    std::string rendered(MimeMessage& message, MimeMessage::RenderOptions options = {}) {
        TextView view;
        message.replaceSelWithBodyInView(view, options);
        return MimeMessage::textWithAttachmentNames(view);
    }

    // The file an icon opens, written on this first request.
    std::string opened(const Attachment& cell) {
        return cell.body ? cell.body->fileIn(tmp(), cell.name) : cell.path;
    }

    bool logged(const std::string& line) const {
        return std::find(logLines.begin(), logLines.end(), line) != logLines.end();
    }

    std::vector<std::string> partBodies(MimeMessage& message) {
        std::vector<std::string> out;
        if (const MimeMessage::PartList* parts = message.parts())
            for (const auto& part : *parts) out.push_back(part->stringBody());
        return out;
    }
};

TEST_F(MimeMessageTest, ContentTypeTokensParametersAndDecodedHeaders) {
    auto m = parse(
        "Subject: =?iso-8859-1?Q?caf=E9?=\n"
        "Content-Type: Text/HTML; Charset=ISO-8859-1; name=\"a \\\"q\\\".html\"\n"
        "Content-Transfer-Encoding: 8bit\n\n<p>hi</p>\n");
    EXPECT_EQ(*m->headerValueForKey("Subject"), "caf\xe9");
    EXPECT_EQ(m->mimeType(), "text");
    EXPECT_EQ(m->mimeSubtype(), "html");
    EXPECT_EQ(*m->mimeParameterValueForKey("charset"), "ISO-8859-1");
    EXPECT_EQ(*m->mimeParameterValueForKey("name"), "a \"q\".html");
    EXPECT_EQ(m->mimeEncoding(), "8bit");
    EXPECT_EQ(rendered(*m), "[attachment: a \"q\".html]\n");
}

TEST_F(MimeMessageTest, DispositionAndSunDataType) {
    auto m =
        parse("Content-Type: text/plain\nContent-Disposition: Attachment; filename=notes\n\nx\n");
    EXPECT_EQ(m->mimeDisposition(), "attachment");
    EXPECT_EQ(*m->mimeDispositionParameterValueForKey("filename"), "notes");

    auto sun = parse(
        "Content-Type: application/octet-stream\nX-Sun-Data-Type: default\n"
        "Content-Description: pic.raw\n\nzz");
    EXPECT_EQ(sun->mimeDisposition(), "attachment");
    EXPECT_EQ(*sun->mimeParameterValueForKey("name"), "pic.raw");
    EXPECT_EQ(*sun->mimeDispositionParameterValueForKey("filename"), "pic.raw");

    auto sunText = parse("Content-Type: text/plain\nX-Sun-Data-Type: TEXT\n\nzz");
    EXPECT_FALSE(sunText->mimeDisposition());
}

TEST_F(MimeMessageTest, TransferEncodingsAndCharsets) {
    EXPECT_EQ(parse("Content-Type: text/plain\nContent-Transfer-Encoding: X-BASE64\n\n"
                    "SGVs\nbG8=\n")
                  ->stringBody(),
              "Hello");
    EXPECT_EQ(parse("Content-Type: text/plain\nContent-Transfer-Encoding: Quoted-Printable\n\n"
                    "=41=\nB  \nc")
                  ->stringBody(),
              "AB\nc");
    auto odd = parse("Content-Type: text/plain\nContent-Transfer-Encoding: x-uue\n\nraw");
    EXPECT_EQ(odd->stringBody(), "raw");
    EXPECT_TRUE(
        logged("[MimeMessage Warning: No MIME reader known for \"x-uue\"--treating as 7bit]\n"));
    auto utf = parse("Content-Type: text/plain; charset=utf-8\n\nok");
    EXPECT_EQ(utf->stringBody(), "ok");
    EXPECT_TRUE(logged("[MimeMessage Warning: Can't decode charset utf-8]\n"));
}

TEST_F(MimeMessageTest, NoContentTypeMeansNoTypeAndRawBody) {
    auto m = parse("Subject: plain\n\nbody <b>bytes</b>\n");
    EXPECT_FALSE(m->mimeType());
    EXPECT_EQ(rendered(*m), "body <b>bytes</b>\n");
    EXPECT_EQ(m->parts(), nullptr);
}

TEST_F(MimeMessageTest, MultipartDropsPreambleAndEpilogue) {
    auto m = parse(
        "Content-Type: MULTIPART/MIXED; boundary=\"b1\"\n\n"
        "preamble\n--b1\nContent-Type: text/plain\n\none\n"
        "--b1\r\n\ntwo (no headers)\n\n--b1--\nepilogue\n");
    EXPECT_EQ(m->mimeType(), "multipart");
    ASSERT_EQ(partBodies(*m), (std::vector<std::string>{"one", "two (no headers)\n"}));
    EXPECT_FALSE((*m->parts())[1]->mimeType());
    EXPECT_EQ(rendered(*m), "one\n\ntwo (no headers)\n");
    EXPECT_TRUE(logLines.empty());
}

// A delimiter line is exactly "--" and the boundary, then the newline or "--"
// and the newline; anything else on the line makes it text of the part.
TEST_F(MimeMessageTest, OnlyExactLinesDelimitParts) {
    struct Row {
        const char* name;
        const char* line;
        std::vector<std::string> parts;
    };
    const Row rows[] = {
        {"delimiter", "--b", {"first", "second"}},
        {"closing", "--b--", {"first"}},
        {"crlf line end", "--b\r", {"first", "second"}},
        {"trailing blank", "--b ", {"first\n--b \n\nsecond"}},
        {"trailing tab", "--b\t", {"first\n--b\t\n\nsecond"}},
        {"closing with trailing blank", "--b-- ", {"first\n--b-- \n\nsecond"}},
        {"longer boundary", "--bb", {"first\n--bb\n\nsecond"}},
        {"indented", " --b", {"first\n --b\n\nsecond"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto m = parse(std::string("Content-Type: multipart/mixed; boundary=b\n\n--b\n\nfirst\n") +
                       row.line + "\n\nsecond\n--b--\n");
        EXPECT_EQ(partBodies(*m), row.parts);
    }
}

// Mail whose delimiter lines all carry trailing blanks is not split, but its
// text stays readable as one part.
TEST_F(MimeMessageTest, BodyWithoutADelimiterLineIsKeptAsOnePart) {
    auto m = parse(
        "Content-Type: multipart/mixed; boundary=b\n\n--b  \n\nhello\n--b\t\n\nworld\n--b--\n");
    EXPECT_EQ(partBodies(*m), (std::vector<std::string>{"--b  \n\nhello\n--b\t\n\nworld\n"}));
    EXPECT_EQ(rendered(*m), "--b  \n\nhello\n--b\t\n\nworld\n");
    // A guessed boundary is the whole rest of the first dash line, blanks included.
    auto guessed =
        parse("Content-Type: multipart/mixed\n\nintro\n--g \n\nbody\n--g \n\nmore\n--g --\n");
    EXPECT_EQ(partBodies(*guessed), (std::vector<std::string>{"body", "more"}));
    EXPECT_TRUE(
        logged("[MimeMessage Warning: Missing multipart boundary parameter; using \"g \"]\n"));
}

TEST_F(MimeMessageTest, NestedAndEmptyMultiparts) {
    auto m = parse(
        "Content-Type: multipart/mixed; boundary=outer\n\n"
        "--outer\nContent-Type: multipart/alternative; boundary=inner\n\n"
        "--inner\nContent-Type: text/plain\n\nplain\n--inner\nContent-Type: text/enriched\n\n"
        "<bold>rich</bold>\n--inner--\n\n"
        "--outer\nContent-Type: multipart/alternative; boundary=none\n\n\n"
        "--outer--\n");
    const MimeMessage::PartList* parts = m->parts();
    ASSERT_EQ(parts->size(), 2u);
    EXPECT_EQ(partBodies(*(*parts)[0]), (std::vector<std::string>{"plain", "<bold>rich</bold>"}));
    EXPECT_TRUE(partBodies(*(*parts)[1]).empty());
    EXPECT_EQ(rendered(*m), "rich");
    EXPECT_EQ(rendered(*m, {AlternativeChoice::First}), "plain");
    EXPECT_EQ(rendered(*m, {AlternativeChoice::All}), "plain\n-----\nrich");
}

TEST_F(MimeMessageTest, PartsStandApartByOneBlankLine) {
    struct Case {
        const char* name;
        const char* parts;
        const char* shown;
    };
    const Case cases[] = {
        {"text after text without a newline", "--b\n\none\n--b\n\ntwo\n--b--\n", "one\n\ntwo"},
        {"text ending in a newline", "--b\n\none\n\n--b\n\ntwo\n--b--\n", "one\n\ntwo"},
        {"text ending in a blank line", "--b\n\none\n\n\n--b\n\ntwo\n--b--\n", "one\n\ntwo"},
        {"an enclosed message's headers",
         "--b\n\nsee below\n--b\nContent-Type: message/rfc822\n\nSubject: inner\n\nhi\n--b--\n",
         "see below\n\nSubject: inner\n\nhi"},
    };
    for (const Case& c : cases) {
        auto m = parse(std::string("Content-Type: multipart/mixed; boundary=b\n\n") + c.parts);
        EXPECT_EQ(rendered(*m), c.shown) << c.name;
    }
}

TEST_F(MimeMessageTest, AlternativesThatAreNotAListShowNothing) {
    auto m = parse("Content-Type: x-multipart/alternative; boundary=b\n\n--b\n\nplain\n--b--\n");
    EXPECT_EQ(m->parts(), nullptr);  // the decoders' table has no "x-" rule
    logLines.clear();
    EXPECT_EQ(rendered(*m), "");
    EXPECT_TRUE(logLines.empty());  // no reader to choose: nothing to say
    EXPECT_EQ(rendered(*m, {AlternativeChoice::First}), "");
    EXPECT_EQ(logLines, std::vector<std::string>{"# chooseMimeAlternative: body is not a list!\n"});
}

TEST_F(MimeMessageTest, MissingTerminatingBoundaryRunsToTheEndLessOneByte) {
    auto m = parse("Content-Type: multipart/mixed; boundary=b\n\n--b\n\nfirst\n--b\n\nlast\n");
    EXPECT_EQ(partBodies(*m), (std::vector<std::string>{"first", "last"}));
    EXPECT_TRUE(
        logged("[MimeMessage Warning: Missing terminating boundary of MIME multipart message]\n"));

    // A closing line with no newline after it is not a closing line.
    auto unterminated = parse("Content-Type: multipart/mixed; boundary=b\n\n--b\n\nonly\n--b--");
    EXPECT_EQ(partBodies(*unterminated), (std::vector<std::string>{"only\n--b-"}));
}

TEST_F(MimeMessageTest, DigestSeparatesPartsAndEmbeddedMessagesShowInline) {
    auto m = parse(
        "Content-Type: multipart/digest; boundary=d\n\n"
        "--d\nContent-Type: message/rfc822\n\nSubject: first\n\nbody one\n"
        "--d\nContent-Type: text/plain\n\nsecond\n--d--\n");
    std::string text = rendered(*m);
    EXPECT_NE(text.find("Subject: first\n\nbody one"), std::string::npos) << text;
    EXPECT_NE(text.find("-----\nsecond"), std::string::npos) << text;
}

TEST_F(MimeMessageTest, OtherTypesBecomeIconsWithMapNames) {
    auto m = parse(
        "Content-Type: multipart/mixed; boundary=b\n\n"
        "--b\nContent-Type: application/postscript; name=Report.PS\n\n%!PS\n"
        "--b\nContent-Type: image/x-portable; name=scan\n\nP1\n"
        "--b\nContent-Type: application/x-thing\n\n??\n--b--\n");
    TextView view;
    m->replaceSelWithBodyInView(view);
    EXPECT_EQ(
        MimeMessage::textWithAttachmentNames(view),
        "[attachment: Report.ps]\n[attachment: scan.portable]\n[attachment: mime-attachment]\n");
    // Showing writes nothing; opening an icon writes its file, once.
    const std::string path = tmp() + "/Report.ps";
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
    const Attachment* cell = view.richText().attachmentAt(0);
    ASSERT_TRUE(cell);
    EXPECT_EQ(opened(*cell), path);
    EXPECT_EQ(opened(*cell), path);
    EXPECT_EQ(test::slurp(path), "%!PS");
    view.clear();
    m.reset();
    EXPECT_NE(::access(path.c_str(), F_OK), 0);  // gone with the message and its icons
}

// A message read from shared bytes holds its parts as shares of them: plain
// parts point into the message's own buffer, encoded ones stay encoded until
// saved, and the files are the decoded bytes after the reader dropped its
// share. The attachment spans several decoding pieces.
TEST_F(MimeMessageTest, PartsShareTheMessageBytesAndSaveDecodedInPieces) {
    std::string data;
    for (int i = 0; data.size() < (600 << 10); ++i) data += static_cast<char>(i * 131 % 251);
    ByteSink base64, quoted;
    ASSERT_TRUE(writeBase64(data, base64, 76));
    ASSERT_TRUE(writeQuotedPrintable(data, quoted, 76));
    auto text = std::make_unique<SharedBytes>(SharedBytes(
        "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nplain\n"
        "--b\nContent-Type: application/x-a; name=a.bin\nContent-Transfer-Encoding: base64\n\n" +
        base64.bytes() +
        "\n--b\nContent-Type: application/x-b; name=b.bin\n"
        "Content-Transfer-Encoding: quoted-printable\n\n" +
        quoted.bytes() + "\n--b--\n"));
    ByteSource stream(*text);
    std::unique_ptr<MimeMessage> message = MimeMessage::initFromStream(stream);
    ASSERT_TRUE(message);
    const MimeMessage::PartList* parts = message->parts();
    ASSERT_TRUE(parts && parts->size() == 3);
    std::string_view plain = (*parts)[0]->bodyView(), all = text->view();
    EXPECT_EQ(plain, "plain");
    EXPECT_TRUE(plain.data() >= all.data() && plain.data() < all.data() + all.size());
    text.reset();
    TextView view;
    message->replaceSelWithBodyInView(view);
    std::vector<const Attachment*> icons = view.richText().attachments();
    ASSERT_EQ(icons.size(), 2u);
    for (const Attachment* icon : icons) EXPECT_EQ(test::slurp(opened(*icon)), data) << icon->name;
}

TEST_F(MimeMessageTest, IconsOfAMessageThatIsGoneOpenNothing) {
    TextView view;
    parse("Content-Type: application/pdf; name=a.pdf\n\n%PDF")->replaceSelWithBodyInView(view);
    const Attachment* cell = view.richText().attachmentAt(0);
    ASSERT_TRUE(cell);
    EXPECT_EQ(opened(*cell), "");
}

// Extensions compare exactly; ".snd" files are basic audio only when mu-law.
TEST_F(MimeMessageTest, FilesAreTypedByExtensionAndSoundHeader) {
    std::string linear(28, '\0');
    linear.replace(0, 4, ".snd");
    linear[15] = 3;
    const struct {
        const char* file;
        std::string body;
        const char* type;
    } rows[] = {
        {"Report.PS", "", "application/octet-stream"},
        {"figure.eps", "", "application/postscript"},
        {".ps", "", "application/octet-stream"},
        {"voice.snd", linear, "audio/zell"},
        {"voice.snd", "raw mu-law bytes", "audio/basic"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        MimeMessage m;
        m.setBody(row.body);
        m.setMimeTypeFromFile(row.file);
        EXPECT_EQ(*m.mimeType() + "/" + *m.mimeSubtype(), row.type);
    }
}

TEST_F(MimeMessageTest, UserMapComesFirstAndBadLinesAreReported) {
    ::mkdir((home() + "/Library").c_str(), 0700);
    ::mkdir((home() + "/Library/Quill").c_str(), 0700);
    writeFile("home/Library/Quill/MimeFileTypes",
              "# mine\n\nimage/x-scan scn SCAN # trailing\nbroken line\ntext/x-empty\n");
    const std::vector<MimeFileType>& map = mimeTypeMap();
    ASSERT_GE(map.size(), 3u);
    EXPECT_EQ(map[0].extension, "scn");
    EXPECT_EQ(map[1].extension, "SCAN");
    EXPECT_EQ(map[2].subtype, "x-empty");
    EXPECT_EQ(map[2].extension, "");
    EXPECT_TRUE(logged("Can't parse MimeFileTypes entry: broken line\n"));
    MimeMessage m;
    m.setMimeTypeFromFile("photo.SCAN");
    EXPECT_EQ(m.mimeSubtype(), "x-scan");
}

// Temporary body files are new private files made exclusively; a link
// planted under a body file's name is never written through.
TEST_F(MimeMessageTest, BodyFilesNeverFollowALinkPlantedInTheirPlace) {
    const std::string victim = writeFile("victim", "precious\n");
    const char* text = "Content-Type: application/octet-stream; name=report.bin\n\nsecret\n";
    auto saved = parse(text);
    std::string path = saved->bodyFileIn(tmp());
    ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0);
    EXPECT_FALSE(saved->saveBodyToFile(path));

    auto shown = parse(text);
    std::string temp = shown->tmpBodyFile(true);
    EXPECT_NE(temp, path);
    struct stat st;
    ASSERT_EQ(::lstat(temp.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(test::slurp(temp), "secret\n");
    EXPECT_EQ(test::slurp(victim), "precious\n");
}

TEST_F(MimeMessageTest, SavingAppliesUnixModeAndMultipartMakesADirectory) {
    auto m = parse(
        "Content-Type: multipart/x-folder; boundary=b\n\n"
        "--b\nContent-Type: application/octet-stream; name=run; x-unix-mode=0755\n\n#!/bin/sh\n"
        "--b--\n");
    std::string dir = tmp() + "/folder";
    ASSERT_TRUE(m->saveBodyToFile(dir));
    struct stat st;
    ASSERT_EQ(::stat((dir + "/run").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_FALSE(m->saveBodyToFile(dir));  // the directory exists already
}

TEST_F(MimeMessageTest, OwnedBodyFilesGoWithTheMessage) {
    std::string path;
    {
        auto m = parse("Content-Type: image/gif; name=x\n\nGIF89a");
        ASSERT_TRUE(m->imageFile());
        path = *m->imageFile();
        EXPECT_EQ(path, tmp() + "/x.gif");
        EXPECT_EQ(test::slurp(path), "GIF89a");
    }
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

TEST_F(MimeMessageTest, AudioBasicIsWrappedAsMuLaw) {
    auto m = parse("Content-Type: audio/basic\n\nabcd");
    const MimeMessage::Sound* sound = m->sound();
    ASSERT_TRUE(sound);
    const std::string header(
        "\x2e\x73\x6e\x64\0\0\0\x1c\0\0\0\x04\0\0\0\x01\0\0\x1f\x4c\0\0\0\x01\0\0\0\0", 28);
    EXPECT_EQ(sound->data, header + "abcd");
    EXPECT_TRUE(MimeMessage::isAudioBasicBody("short"));  // too short for a header: raw mu-law

    auto bad = parse("Content-Type: audio/x-wav\n\nRIFF....");
    EXPECT_FALSE(bad->sound());
    EXPECT_TRUE(logged("[MimeMessage Warning: Can't decode audio contents]\n"));
}

TEST_F(MimeMessageTest, UnknownTypesWarnAndMimeMailIsChosen) {
    auto m = parse("Content-Type: chemical/x-pdb\n\natoms");
    EXPECT_EQ(m->textBody(), nullptr);
    EXPECT_TRUE(logged(
        "[MimeMessage Warning: No MIME decoder known for chemical--treating as text/plain]\n"));

    ByteSource stream(std::string_view("MIME-Version: 1.0\nSubject: x\n\nhi\n"));
    auto chosen = MailMessage::newFromStream(stream);
    ASSERT_TRUE(chosen);
    EXPECT_STREQ(chosen->formatClass().name, "MimeMessage");
    EXPECT_EQ(MimeMessage::willingnessToDecode(MailHeaders()), 0.333);
}

TEST_F(MimeMessageTest, ExternalLocalFilesAreLinkedAndOtherMessagesSaved) {
    std::string target = writeFile("data/report.txt", "contents");
    std::string link;
    {
        auto m = parse("Content-Type: message/external-body; access-type=LOCAL-FILE; name=\"" +
                       target + "\"\n\nContent-Type: text/plain\n\n");
        TextView view;
        m->replaceSelWithBodyInView(view);
        const Attachment* cell = view.richText().attachmentAt(0);
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->name, "report.txt");
        link = opened(*cell);
        EXPECT_EQ(test::slurp(link), "contents");
    }
    EXPECT_NE(::access(link.c_str(), F_OK), 0);  // the link went with the message
    EXPECT_EQ(test::slurp(target), "contents");

    auto partial = parse("Content-Type: message/partial; number=1; total=2; id=x\n\nSubject: s\n");
    TextView view;
    partial->replaceSelWithBodyInView(view);
    const Attachment* cell = view.richText().attachmentAt(0);
    ASSERT_TRUE(cell);
    EXPECT_EQ(test::slurp(opened(*cell)),
              "Content-Type: message/partial; number=1; total=2; id=x\n\nSubject: s\n");
}

TEST_F(MimeMessageTest, FilterReplacesShownMimeText) {
    MailHeaders::setFilteredHeaders(nullptr);
    TextView view;
    view.replaceSel("Subject: plain\n\nno headers of interest");
    MimeFilter filter;
    EXPECT_FALSE(filter.filterDisplayText(view));
    EXPECT_TRUE(logLines.empty());

    view.clear();
    view.replaceSel("Subject: x\nContent-Type: text/enriched\n\n<bold>hi</bold>");
    EXPECT_TRUE(filter.filterDisplayText(view));
    EXPECT_EQ(view.plainText(), "Subject: x\nContent-Type: text/enriched\n\nhi");
    EXPECT_TRUE(logged("[MimeFilter: It looks like this might be a MIME message...]\n"));
    EXPECT_TRUE(logged("[MimeFilter: Yup, text/enriched; replacing...]\n"));

    view.clear();
    view.replaceSel("Subject: Content-Type\n\nx");
    EXPECT_FALSE(filter.filterDisplayText(view));
    EXPECT_TRUE(logged("[MimeFilter: Nope, apparently not.]\n"));
}

// A name with a NUL byte names a file in the attachment directory, never
// the directory itself (testing the one while renaming the other never ended).
TEST_F(MimeMessageTest, NamesWithANulByteOpenAsFilesOfTheirOwn) {
    struct Row {
        const char* name;
        std::string header;
        const char* file;
    };
    const Row rows[] = {
        {"encoded", "application/octet-stream; name=\"=?iso-8859-1?q?a=00b?=\"", "a-b"},
        {"raw", std::string("image/gif; name=\"\0\"", 20), "-.gif"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto m = parse("Content-Type: " + row.header + "\n\nx\n");
        TextView view;
        m->replaceSelWithBodyInView(view);
        const Attachment* cell = view.richText().attachmentAt(0);
        ASSERT_TRUE(cell);
        EXPECT_EQ(opened(*cell), tmp() + "/" + row.file);
        EXPECT_EQ(test::slurp(tmp() + "/" + row.file), "x\n");
    }
}

// Ten thousand nested multiparts or embedded messages: the first levels are
// shown, the rest is kept whole as one attachment, so nothing is lost and the
// depth is bounded.
TEST_F(MimeMessageTest, DeepNestingIsKeptWholeBelowTheNestingLimit) {
    struct Row {
        const char* name;
        std::string (*open)(int level);
        std::string (*close)(int level);
        const char* icon;
        const char* lastClose;
    };
    const Row rows[] = {
        {"multiparts",
         [](int i) {
             return "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" +
                    std::to_string(i) + "\n";
         },
         [](int i) { return "--b" + std::to_string(i) + "--\n"; },
         "[attachment: mime-attachment.mixed]\n", "--b9999--"},
        {"messages", [](int) { return std::string("Content-Type: message/rfc822\n\n"); },
         [](int) { return std::string(); }, "[attachment: mime-attachment.eml]\n", "innermost"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        logLines.clear();
        std::string text;
        for (int i = 0; i < 10000; ++i) text += row.open(i);
        text += "Content-Type: text/plain\n\ninnermost\n";
        for (int i = 9999; i >= 0; --i) text += row.close(i);
        auto m = parse(text);
        TextView view;
        m->replaceSelWithBodyInView(view);
        std::string shown = MimeMessage::textWithAttachmentNames(view);
        EXPECT_EQ(shown.substr(shown.find('[')), row.icon);
        EXPECT_TRUE(
            logged("[MimeMessage Warning: MIME parts nested more than 32 deep; showing "
                   "the rest as one attachment]\n"));
        const Attachment* cell =
            view.richText().attachmentAt(view.plainText().find(kAttachmentChar));
        ASSERT_TRUE(cell);
        std::string kept = test::slurp(opened(*cell));
        EXPECT_NE(kept.find("innermost"), std::string::npos);
        EXPECT_NE(kept.find(row.lastClose), std::string::npos);
    }
}

// A header line of 100 MB arrives in pieces: the first is the field, the
// rest are reported and dropped; the body is untouched.
TEST_F(MimeMessageTest, AHundredMegabyteHeaderLineLeavesTheBodyWhole) {
    std::string text =
        "Subject: " + std::string(100u << 20, 'x') + "\nContent-Type: text/plain\n\nbody\n";
    auto m = parse(text);
    ASSERT_TRUE(m->headers().valueForKey("Subject"));
    EXPECT_EQ(m->headers().valueForKey("Subject")->size(), 1014u);
    EXPECT_EQ(m->stringBody(), "body\n");
    EXPECT_EQ(rendered(*m), "body\n");
}

}  // namespace
}  // namespace quill

// The native format: willingness scores, stored references, joined plain
// lines, the two reference rewritings, a rich message onto the wire and back
// (unpacked by the system's uudecode, uncompress and tar as well), hostile
// and broken archives, and the move into a mailbox directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "formats/ZellMessage.h"
#include "formats/uuencode.h"
#include "process/RunCommand.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

bool haveTools() {
    return std::system("command -v uudecode compress uncompress tar >/dev/null") == 0;
}

class ZellMessageTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        MailMessage::setDefaultAttachmentDirectory(tmp() + "/attach");
        ::mkdir((tmp() + "/attach").c_str(), 0700);
        ZellMessage::setTarCommand(std::string(QUILL_BIN_DIR) + "/safetar");
    }
    void TearDown() override {
        ZellMessage::setTarCommand(std::nullopt);
        MailMessage::setDefaultAttachmentDirectory(std::nullopt);
        QuillTest::TearDown();
    }

    static double score(const std::string& block) {
        ByteSource stream(block);
        return ZellMessage::willingnessToDecode(*MailHeaders::initFromStream(stream));
    }
    static std::string rewrite(std::string_view text, bool outgoing) {
        std::string out;
        EXPECT_TRUE(
            outgoing ? ZellMessage::convertStream(text, out, ZellMessage::kOutgoingPattern,
                                                  ZellMessage::kOutgoingReplacement, true, false)
                     : ZellMessage::convertStream(text, out, ZellMessage::kIncomingPattern,
                                                  ZellMessage::kIncomingReplacement, false, true));
        return out;
    }
    // A rich document holding the file chart.gif.
    RichText document() {
        std::string chart = writeFile("chart.gif", "GIF89a chart bytes\n");
        RichText text;
        text.append("See the chart:\n", CharFormat(), ParagraphFormat());
        Attachment cell;
        cell.name = "chart.gif";
        cell.path = chart;
        text.replaceWithAttachment(text.length(), 0, cell, CharFormat(), ParagraphFormat());
        return text;
    }
    // A message carrying the compressed archive made by `tar cf - ARGS` run in dir.
    std::string wireMessage(const std::string& dir, const std::string& tarArgs) {
        std::string archive = tmp() + "/archive.Z";
        EXPECT_EQ(std::system(("cd " + shellQuote(dir) + " && tar cPf - " + tarArgs +
                               " 2>/dev/null | compress -f > " + archive)
                                  .c_str()),
                  0);
        return carrying(test::slurp(archive));
    }
    static std::string carrying(const std::string& packed) {
        ByteSource in(packed);
        ByteSink out;
        out.write("Subject: x\nZell-Attachment: .tar.1.x.attach, 0, 1/1, 0, 0\n\n");
        uuencode(in, out, ".tar.1.x.attach", 0600);
        return out.take();
    }
    std::unique_ptr<ZellMessage> read(const std::string& bytes) {
        auto message = std::make_unique<ZellMessage>();
        ByteSource stream(bytes);
        EXPECT_TRUE(message->readFromStream(stream));
        return message;
    }
    // The rich message "Notes" written into a new mailbox; answers its path.
    std::string storeNotes(ZellMessage& message, ByteSink& sink) {
        std::string mailbox = tmp() + "/Mail/In.mbox";
        fs::create_directories(mailbox);
        message.setHeaderKey("Subject", "Notes");
        message.setRichText(document(), true);
        EXPECT_TRUE(message.writeToStreamMailbox(sink, mailbox));
        return mailbox;
    }
    bool logged(const std::string& text) const {
        for (const std::string& line : logLines)
            if (line.find(text) != std::string::npos) return true;
        return false;
    }
};

TEST_F(ZellMessageTest, WillingnessScores) {
    EXPECT_EQ(score("Zell-Attachment: .tar.1.a.attach, 0, 1/1, 0, 0\n\n"), 1.0);
    EXPECT_EQ(score("Zell-Reference: a.attach, , 1/1\n\n"), 1.0);
    EXPECT_EQ(score("Received: by Zell.Mailer (x)\nContent-Type: text/plain\n\n"), 1.0);
    EXPECT_EQ(score("Received: by Zell.Mailer (x)\nContent-Type: text/plain; charset=x\n\n"),
              double(0.333f));
    EXPECT_EQ(score("Content-Type: text/plain\n\n"), double(0.333f));
    EXPECT_EQ(score("Received: by Zell.Mailer (x)\n\n"), double(0.667f));
    EXPECT_EQ(score("Received: by zell\n\n"), double(0.333f));
    EXPECT_EQ(score("Content-Type: Application/X-ZellMail; x=1\n\n"), 1.0);
}

TEST_F(ZellMessageTest, StoredReferenceAndPlainLines) {
    ZellMessage encrypted;
    ByteSource a(std::string_view("Zell-Reference: Notes.attach, E, 1/1\n\n"));
    ASSERT_TRUE(encrypted.readFromStreamMailbox(a, "/m/In.mbox"));
    EXPECT_EQ(*encrypted.attachmentPath(), "/m/In.mbox/Notes.attach");
    EXPECT_TRUE(encrypted.isEncrypted());
    EXPECT_FALSE(encrypted.ownsAttachmentDirectory());
    ZellMessage plain;
    ByteSource b(std::string_view("Zell-Reference: Notes.attach, , 1/1\n\none two \nthree\n"));
    ASSERT_TRUE(plain.readFromStreamMailbox(b, "/m/In.mbox"));
    EXPECT_FALSE(plain.isEncrypted());
    EXPECT_EQ(plain.stringBody(), "one twothree\n");
}

TEST_F(ZellMessageTest, ReferenceRewritingBothWays) {
    std::string platform = "{\\rtf1 x{{\\ZellGraphic chart.tiff \\width10 \\height20}\n\xAC}y}";
    std::string wire = rewrite(platform, true);
    EXPECT_EQ(wire, "{\\rtf1 x{{\\attachment chart.tiff\n}y}");
    EXPECT_EQ(rewrite(wire, false),
              "{\\rtf1 x{{\\ZellGraphic chart.tiff \\width0 \\height0\n}\xAC}y}");
    // A name directly followed by a backslash loses its last character.
    EXPECT_EQ(rewrite("{{\\ZellGraphic chart.tiff\\width10}\t\xAC}", true),
              "{{\\attachment chart.tif\n}");
    EXPECT_EQ(rewrite("no references", true), "no references");
    std::string out;
    EXPECT_FALSE(ZellMessage::convertStream("x", out, "\\(", "%s", false, false));
    EXPECT_TRUE(logged("regcomp failed on"));
}

TEST_F(ZellMessageTest, WireFormUnpacksWithSystemToolsAndReadsBack) {
    if (!haveTools()) GTEST_SKIP() << "uudecode, compress or tar missing";
    ZellMessage message;
    message.setHeaderKey("Subject", "Budget plans");
    message.setRichText(document(), true);
    ByteSink sink;
    ASSERT_TRUE(message.writeToStream(sink));
    std::string bytes = sink.take();
    const std::string* header = message.headerValueForKey("Zell-Attachment");
    ASSERT_TRUE(header);
    EXPECT_TRUE(header->starts_with(".tar."));
    EXPECT_TRUE(header->ends_with(".Budget_plans.attach, 0, 1/1, 0, 0")) << *header;
    std::string name = header->substr(0, header->find(','));
    EXPECT_NE(bytes.find("Content-Type: application/x-zellmail\n"), std::string::npos);
    EXPECT_NE(bytes.find("\n\nbegin 600 " + name + "\n"), std::string::npos);
    EXPECT_TRUE(bytes.ends_with("\n`\nend\n"));

    std::string out = tmp() + "/unpacked";
    ::mkdir(out.c_str(), 0700);
    test::spit(tmp() + "/wire", bytes);
    ASSERT_EQ(std::system(("cd " + shellQuote(tmp()) +
                           " && uudecode -o /dev/stdout wire | "
                           "uncompress | tar xf - -C unpacked")
                              .c_str()),
              0);
    EXPECT_EQ(test::slurp(out + "/chart.gif"), "GIF89a chart bytes\n");
    EXPECT_NE(test::slurp(out + "/index.rtf").find("{{\\attachment chart.gif\n}"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(out + "/TXT.rtf"));

    std::string dir;
    {
        auto back = read(bytes);
        ASSERT_TRUE(back->attachmentPath());
        dir = *back->attachmentPath();
        EXPECT_TRUE(back->ownsAttachmentDirectory());
        EXPECT_TRUE(back->isRichBody());
        EXPECT_EQ(test::slurp(dir + "/chart.gif"), "GIF89a chart bytes\n");
        EXPECT_EQ(dir.rfind(tmp() + "/attach/", 0), 0u);
    }
    EXPECT_FALSE(fs::exists(dir));
}

TEST_F(ZellMessageTest, HostileArchivesWriteNothingOutside) {
    if (!haveTools()) GTEST_SKIP() << "uudecode, compress or tar missing";
    std::string src = tmp() + "/src";
    std::string outside = tmp() + "/outside";
    fs::create_directories(src);
    fs::create_directories(outside);
    writeFile("escape.txt", "escaped\n");
    writeFile("outside/victim", "victim\n");
    fs::create_directory_symlink(outside, src + "/link");
    writeFile("outside/planted", "planted\n");
    const std::vector<std::string> archives = {
        wireMessage(src, "../escape.txt"),
        wireMessage(src, shellQuote(outside + "/victim")),
        wireMessage(src, "link link/planted"),
    };
    fs::remove(tmp() + "/escape.txt");
    fs::remove(outside + "/victim");
    fs::remove(outside + "/planted");
    for (const std::string& bytes : archives) {
        logLines.clear();
        auto message = read(bytes);
        EXPECT_TRUE(logged("Could not uncompress/untar attachment for"));
        EXPECT_TRUE(message->ownsAttachmentDirectory());
    }
    EXPECT_FALSE(fs::exists(tmp() + "/escape.txt"));
    EXPECT_FALSE(fs::exists(tmp() + "/attach/escape.txt"));
    EXPECT_FALSE(fs::exists(outside + "/victim"));
    EXPECT_FALSE(fs::exists(outside + "/planted"));
}

TEST_F(ZellMessageTest, BrokenWireBodies) {
    if (!haveTools()) GTEST_SKIP() << "uudecode, compress or tar missing";
    auto garbage = read(carrying("this is not compressed data at all"));
    EXPECT_TRUE(logged("Could not uncompress/untar attachment for"));
    EXPECT_TRUE(garbage->isRichBody());
    logLines.clear();
    std::string text = "Zell-Attachment: .tar.1.x.attach, 0, 1/1, 0, 0\n\nno block here\n";
    auto plain = read(text);
    EXPECT_TRUE(logged("Errors during uudecoding"));
    EXPECT_EQ(plain->stringBody(), "no block here\n");
    EXPECT_FALSE(plain->attachmentPath());
}

TEST_F(ZellMessageTest, StoredBesideTheMailbox) {
    ZellMessage message;
    ByteSink sink;
    std::string mailbox = storeNotes(message, sink);
    std::string dir = *message.attachmentPath();
    EXPECT_EQ(dir, mailbox + "/Notes.attach");
    EXPECT_FALSE(message.ownsAttachmentDirectory());
    EXPECT_TRUE(fs::exists(dir + "/index.rtf"));
    EXPECT_EQ(test::slurp(dir + "/chart.gif"), "GIF89a chart bytes\n");
    EXPECT_NE(sink.bytes().find("Zell-Reference: Notes.attach, , 1/1\n"), std::string::npos);
    EXPECT_TRUE(sink.bytes().ends_with("\n\n"));
    EXPECT_EQ(sink.bytes().find("See the chart"), std::string::npos);
    // Written there again, the directory already lies in place.
    ByteSink again;
    ASSERT_TRUE(message.writeToStreamMailbox(again, mailbox));
    EXPECT_EQ(*message.attachmentPath(), dir);
    EXPECT_FALSE(fs::exists(mailbox + "/Notes-" + std::to_string(::getpid()) + "-1.attach"));
}

// What the writer stores in a mailbox is read back by the native class, chosen
// among all the application's classes, and shown with its document.
TEST_F(ZellMessageTest, StoredMessageIsShownWithItsDocument) {
    ZellMessage message;
    ByteSink sink;
    std::string mailbox = storeNotes(message, sink);
    test::spit(mailbox + "/mbox", sink.bytes());
    EXPECT_EQ(
        test::commandOutput(std::string(QUILL_BIN_DIR) + "/quilltool show " + mailbox + " 0 2>&1"),
        "Subject: Notes\n\nSee the chart:\n[attachment: chart.gif]\n");
}

}  // namespace
}  // namespace quill

#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "formats/SunFileTypes.h"
#include "formats/SunMessage.h"
#include "formats/uuencode.h"
#include "process/RunCommand.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

std::string uu(const std::string& data) {
    ByteSource in(data);
    ByteSink out;
    uuencode(in, out, "x", 0644);
    return out.take();
}

std::vector<std::string> bodies(std::string_view body) {
    std::vector<std::string> out;
    for (const auto& part : SunMessage::splitBody(body)) out.emplace_back(part->bodyView());
    return out;
}

TEST(SunMessageSplit, SeparatorsAndLineCounts) {
    EXPECT_EQ(bodies("preamble\n----------\n\none\n----------\n\ntwo\n----------\n\nthree"),
              (std::vector<std::string>{"one\n", "two\n", "three"}));
    // Ten hyphens inside a line do not start a part.
    EXPECT_EQ(bodies("----------\n\na ----------\nb\n"),
              (std::vector<std::string>{"a ----------\nb\n"}));
    // A count one too large stops before the next separator.
    EXPECT_EQ(bodies("----------\nX-Sun-Content-Lines: 3\n\na\nb\n----------\n\nc\n"),
              (std::vector<std::string>{"a\nb", "c\n"}));
    // An exact count may take a line of hyphens as data.
    EXPECT_EQ(bodies("----------\nX-Sun-Content-Lines: 2\n\n----------\nb\n----------\n\nc\n"),
              (std::vector<std::string>{"----------\nb\n", "c\n"}));
    EXPECT_TRUE(bodies("no parts at all\n").empty());
}

TEST(SunFileTypesTable, WordsQuotesCommentsAndPrograms) {
    SunFileTypes table = SunFileTypes::parse(
        "# comment\n\n\"postscript-file\" ps eps # trailing\nshell-script *sh\n"
        "\"odd name\" txt\nmakefile\n\"unterminated ext\n");
    EXPECT_EQ(table.size(), 5u);
    EXPECT_EQ(table.lookup("PostScript-File")->extension, "ps");
    EXPECT_FALSE(table.lookup("PostScript-File")->executable);
    EXPECT_EQ(table.lookup("shell-script")->extension, "sh");
    EXPECT_TRUE(table.lookup("shell-script")->executable);
    EXPECT_EQ(table.lookup("odd name")->extension, "txt");
    EXPECT_EQ(table.lookup("makefile")->extension, "");
    EXPECT_TRUE(table.lookup("unterminated ext"));
    EXPECT_FALSE(table.lookup("unknown"));
}

class SunMessageTest : public test::QuillTest {
  protected:
    std::unique_ptr<SunMessage> message(const std::string& body) {
        auto msg = std::make_unique<SunMessage>();
        std::string text = "From: a@example.org\nContent-Type: x-sun-attachment\n\n" + body;
        ByteSource source(text);
        EXPECT_TRUE(msg->readFromStream(source));
        return msg;
    }
};

TEST_F(SunMessageTest, Willingness) {
    MailHeaders headers;
    EXPECT_EQ(SunMessage::willingnessToDecode(headers), 0.0);
    headers.addKey("Content-Type", "X-SUN-ATTACHMENT");
    EXPECT_EQ(SunMessage::willingnessToDecode(headers), 1.0);
    MailHeaders other;
    other.addKey("Content-Type", "X-Sun-Attachment; charset=x");
    EXPECT_EQ(SunMessage::willingnessToDecode(other), 0.0);
}

TEST_F(SunMessageTest, ShowsTheFirstTextPartInlineAndTheRestAsIcons) {
    auto msg = message(
        "----------\nX-Sun-Data-Type: text\nX-Sun-Charset: iso-8859-1\n\nHello caf\xE9\n"
        "----------\nX-Sun-Data-Type: text\nX-Sun-Data-Name: notes\n"
        "X-Sun-Data-Description: DEFAULT\n\nsecond\n"
        "----------\nX-Sun-Data-Type: postscript-file\nX-Sun-Data-Name: a/b.ps\n"
        "X-Sun-Data-Description: The slides\nX-Sun-Encoding-Info: uuencode\n\n" +
        uu("%!PS\n"));
    EXPECT_TRUE(msg->isRichBody());
    TextView view;
    msg->replaceSelWithBodyInView(view);
    EXPECT_EQ(view.plainText(), "Hello caf\xE9\n\n\xAC\tnotes\n\xAC\ta-b.ps (The slides)\n");
    auto cells = view.richText().attachments();
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0]->name, "notes.txt");
    EXPECT_EQ(cells[1]->name, "a-b.ps");
    std::string file = cells[1]->body->fileIn(tmp(), cells[1]->name);
    EXPECT_EQ(test::slurp(file), "%!PS\n");
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(SunMessageTest, DecodesLastEncodingFirstAndProgramsGetMode755) {
    std::string plain = "#!/bin/sh\necho hi\n";
    std::string compressed;
    {
        std::istringstream in(plain);
        std::ostringstream out;
        ASSERT_EQ(RunCommand(processLauncher()).runPipe({{"compress", "-c", "-f"}}, &in, &out), 0);
        compressed = out.str();
    }
    auto msg = message(
        "----------\n\nintro\n----------\nX-Sun-Data-Type: shell-script\nX-Sun-Data-Name: run\n"
        "X-Sun-Encoding-Info: compress,uuencode\n\n" +
        uu(compressed));
    auto& parts = msg->bodyParts();
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1]->decodedBody(), plain);
    EXPECT_EQ(parts[1]->bodyFileName(), "run.sh");
    ASSERT_TRUE(parts[1]->saveDecodedBodyTo(tmp() + "/run.sh", parts[1]->bodyFileMode()));
    struct stat st {};
    ASSERT_EQ(stat((tmp() + "/run.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(SunMessageTest, UnknownOrFailingEncodingsKeepTheData) {
    auto msg = message(
        "----------\nX-Sun-Data-Name: x\nX-Sun-Encoding-Info: rot13, uuencode\n\nnot uuencoded\n");
    EXPECT_EQ(msg->bodyParts()[0]->decodedBody(), "not uuencoded\n");
    ASSERT_EQ(logLines.size(), 2u);
    EXPECT_NE(logLines[0].find("Could not decode attachment x, encoding = uuencode"),
              std::string::npos);
    EXPECT_NE(logLines[1].find("Don't know how to decode attachment x, encoding = rot13"),
              std::string::npos);
}

TEST_F(SunMessageTest, HostileNamesWriteOnlyInsideTheAttachmentDirectoryAndRunNothing) {
    std::string dir = tmp() + "/attach";
    mkdir(dir.c_str(), 0700);
    const std::string pwned = tmp() + "/pwned";
    const std::vector<std::string> names = {
        "../../escape",           "/etc/passwd",           "..",
        "$(touch " + pwned + ")", "`touch " + pwned + "`", "a; touch " + pwned + " #",
    };
    std::string body;
    for (const std::string& name : names)
        body += "----------\nX-Sun-Data-Type: compress\nX-Sun-Data-Name: " + name +
                "\nX-Sun-Data-Description: $(touch " + pwned +
                ")\nX-Sun-Encoding-Info: compress, uuencode\n\n" + uu("not compressed") + "\n";
    body = "----------\n\ntext\n" + body;
    auto msg = message(body);
    TextView view;
    msg->replaceSelWithBodyInView(view);
    auto cells = view.richText().attachments();
    ASSERT_EQ(cells.size(), names.size());
    for (const Attachment* cell : cells) {
        std::string file = cell->body->fileIn(dir, cell->name);
        ASSERT_FALSE(file.empty()) << cell->name;
        EXPECT_EQ(file.rfind(dir + "/", 0), 0u) << file;
        EXPECT_EQ(file.find('/', dir.size() + 1), std::string::npos) << file;
    }
    EXPECT_EQ(test::dirEntries(dir).size(), names.size());
    EXPECT_EQ(test::dirEntries(tmp()), (std::vector<std::string>{"attach", "home", "spool"}));
    EXPECT_NE(access(pwned.c_str(), F_OK), 0);
}

}  // namespace
}  // namespace quill

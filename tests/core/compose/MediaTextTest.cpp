// Files dropped into a compose text: the question plain text asks, the blanks
// around pasted path names, uuencoded contents of files and directories, and
// the alerts for files that cannot be read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "compose/MediaText.h"
#include "compose/Send.h"
#include "process/ProcessLauncher.h"
#include "richtext/TextView.h"
#include "settings/Defaults.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

bool haveEncoders() { return std::system("which tar compress uuencode >/dev/null 2>&1") == 0; }

class MediaTextTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        services = std::make_unique<SendServices>(mailContext(), processLauncher());
        // A setting not starting with "/" names a bundled helper.
        std::string tar = test::commandOutput("command -v tar");
        services->mail.defaults.setTarCommand(tar.substr(0, tar.find('\n')));
        services->mail.defaults.setCompressCommand("compress");
        services->mail.defaults.setUuencoder("uuencode");
        text.setPlainMode(true);
        media = std::make_unique<MediaText>(text, *services);
    }
    void typeAround(const std::string& before, const std::string& after) {
        text.replaceSel(before + after);
        text.setSel(before.size(), before.size());
    }
    std::unique_ptr<SendServices> services;
    TextView text;
    std::unique_ptr<MediaText> media;
};

TEST_F(MediaTextTest, PathNamesGetOneBlankFromTheirNeighbours) {
    const std::string a = writeFile("a.txt", "A"), b = writeFile("b.txt", "B");
    const struct {
        const char* before;
        const char* after;
        std::string expected;
    } cases[] = {
        {"see", "now", "see " + a + " " + b + " now"},
        {"see ", " now", "see " + a + " " + b + " now"},
        {"", "", a + " " + b},
    };
    for (const auto& c : cases) {
        text.clear();
        typeAround(c.before, c.after);
        panels->answer("Paste Pathname");
        ASSERT_TRUE(media->addFileList({a, b}));
        EXPECT_EQ(text.plainText(), c.expected) << c.before << "|" << c.after;
    }
    const AlertRequest& question = panels->alerts().front();
    EXPECT_EQ(question.title, "Paste File");
    EXPECT_EQ(question.buttons,
              (std::vector<std::string>{"Paste Pathname", "Paste Encoded Contents", "Cancel"}));

    text.clear();
    panels->answer("Cancel");
    EXPECT_FALSE(media->addFileList({a}));
    EXPECT_EQ(text.plainText(), "");
}

TEST_F(MediaTextTest, RichTextAsksNothing) {
    text.setPlainMode(false);
    ASSERT_TRUE(media->addFileList({writeFile("a.txt", "A")}));
    EXPECT_TRUE(panels->alerts().empty());
    EXPECT_EQ(text.textLength(), 1u);
}

TEST_F(MediaTextTest, EncodedContentsOfFilesAndDirectories) {
    if (!haveEncoders()) GTEST_SKIP() << "tar, compress or uuencode missing";
    const std::string a = writeFile("a.txt", "first\n"), b = writeFile("b.txt", "second\n");
    panels->answer("Paste Encoded Contents");
    ASSERT_TRUE(media->addFileList({a, b}));
    const std::string& out = text.plainText();
    ASSERT_EQ(out.rfind("begin ", 0), 0u) << out;
    EXPECT_NE(out.find(" a.txt\n"), std::string::npos);
    EXPECT_NE(out.find("end\n\nbegin "), std::string::npos) << out;
    EXPECT_NE(out.find(" b.txt\n"), std::string::npos);

    writeFile("docs/note.txt", "note\n");
    text.clear();
    ASSERT_TRUE(media->addEncodedContents(tmp() + "/docs"));
    const std::string& packed = text.plainText();
    EXPECT_EQ(packed.substr(0, packed.find('\n')).substr(packed.find(' ', 6) + 1), "docs.tar.Z");
}

TEST_F(MediaTextTest, FilesThatCannotBeReadAreReportedAndLeaveTheText) {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const std::string missing = tmp() + "/gone.txt";
    const std::string notDirectory = writeFile("plain.txt", "x") + "/inside";
    for (const std::string& path : {missing, notDirectory}) {
        panels->clear();
        panels->answer(0);
        EXPECT_FALSE(media->addImport(path));
        ASSERT_EQ(panels->alerts().size(), 1u);
        EXPECT_EQ(panels->alerts()[0].title, "Insert Attachment");
        EXPECT_EQ(panels->alerts()[0].message,
                  "The file " + path + " is not accessible from host " + host);
    }
    panels->clear();
    panels->answer(0);
    EXPECT_FALSE(media->addEncodedContents(missing));
    EXPECT_EQ(panels->alerts().at(0).message, "Unable to open " + missing);
    EXPECT_EQ(text.plainText(), "");

    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    const std::string locked = writeFile("locked.txt", "x");
    ::chmod(locked.c_str(), 0);
    panels->clear();
    panels->answer(0);
    EXPECT_FALSE(media->addImport(locked));
    EXPECT_EQ(panels->alerts().at(0).message, "You don't have permission to access " + locked);
}

}  // namespace
}  // namespace quill

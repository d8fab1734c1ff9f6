// Document directories: the main file in either form beside the attached
// files, saved and loaded back.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "richtext/DocumentDirectory.h"
#include "richtext/TextView.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;
using test::slurp;

class DocumentDirectoryTest : public QuillTest {
  protected:
    // "Budget " + chart.tiff + newline, with the file made under tmp().
    TextView viewWithAttachment() {
        TextView view;
        view.replaceSel("Budget ");
        view.replaceSelWithFile(writeFile("src/chart.tiff", "TIFF bytes"));
        view.replaceSel("\n");
        return view;
    }
    std::string dir() { return tmp() + "/doc.attach"; }
};

TEST_F(DocumentDirectoryTest, SavesThePlatformFormAndLoadsItBack) {
    TextView view = viewWithAttachment();
    ASSERT_TRUE(DocumentDirectory::save(dir(), view.richText()));
    EXPECT_EQ(slurp(dir() + "/chart.tiff"), "TIFF bytes");
    EXPECT_EQ(slurp(dir() + "/TXT.rtf"), view.rtf());

    auto doc = DocumentDirectory::load(dir());
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->form(), AttachmentForm::Platform);
    EXPECT_EQ(doc->text().describe(), "Budget [chart.tiff]\n");
    EXPECT_EQ(doc->text().attachments()[0]->path, dir() + "/chart.tiff");
    EXPECT_EQ(doc->files(), std::vector<std::string>{"chart.tiff"});
}

TEST_F(DocumentDirectoryTest, WireFormReplacesThePlatformFile) {
    TextView view = viewWithAttachment();
    ASSERT_TRUE(DocumentDirectory::save(dir(), view.richText()));
    ASSERT_TRUE(DocumentDirectory::save(dir(), view.richText(), AttachmentForm::Wire));
    EXPECT_FALSE(std::filesystem::exists(dir() + "/TXT.rtf"));
    EXPECT_NE(slurp(dir() + "/index.rtf").find("{{\\attachment chart.tiff\n}"), std::string::npos);

    auto doc = DocumentDirectory::load(dir());
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->form(), AttachmentForm::Wire);
    EXPECT_EQ(doc->text().describe(), "Budget [chart.tiff]\n");
}

TEST_F(DocumentDirectoryTest, SavingAgainLeavesFilesAlreadyInPlace) {
    TextView view = viewWithAttachment();
    ASSERT_TRUE(DocumentDirectory::save(dir(), view.richText()));
    auto doc = DocumentDirectory::load(dir());
    ASSERT_TRUE(doc);
    ASSERT_TRUE(DocumentDirectory::save(dir(), doc->text()));  // paths point into dir itself
    EXPECT_EQ(slurp(dir() + "/chart.tiff"), "TIFF bytes");
}

TEST_F(DocumentDirectoryTest, LinksStayLinksAndFoldersAreCopiedWhole) {
    writeFile("folder/inner/deep.txt", "deep");
    ASSERT_EQ(::symlink("/etc/hostname", (tmp() + "/link").c_str()), 0);
    TextView view;
    view.replaceSelWithFile(tmp() + "/folder");
    view.replaceSelWithFile(tmp() + "/link");
    ASSERT_TRUE(DocumentDirectory::save(dir(), view.richText()));
    EXPECT_EQ(slurp(dir() + "/folder/inner/deep.txt"), "deep");
    EXPECT_TRUE(std::filesystem::is_symlink(dir() + "/link"));
    EXPECT_EQ(std::filesystem::read_symlink(dir() + "/link"), "/etc/hostname");
}

TEST_F(DocumentDirectoryTest, BringingUpToDateAddsNewFilesAndDropsForgottenOnes) {
    writeFile("doc.attach/TXT.rtf", "{\\rtf1 old}");
    writeFile("doc.attach/removed.ps", "gone");
    writeFile("doc.attach/old/inner", "gone too");
    TextView view = viewWithAttachment();
    ASSERT_TRUE(DocumentDirectory::bringUpToDate(dir(), view.richText(), {"TXT.rtf", "index.rtf"}));
    EXPECT_EQ(test::dirEntries(dir()), (std::vector<std::string>{"TXT.rtf", "chart.tiff"}));
}

TEST_F(DocumentDirectoryTest, FailuresSayWhy) {
    errno = 0;
    EXPECT_FALSE(DocumentDirectory::load(tmp() + "/missing"));
    EXPECT_EQ(errno, ENOENT);

    writeFile("notrtf/index.rtf", "just words");
    EXPECT_FALSE(DocumentDirectory::load(tmp() + "/notrtf"));
    EXPECT_EQ(errno, EINVAL);

    std::string file = writeFile("plainfile", "x");
    EXPECT_FALSE(DocumentDirectory::save(file, RichText()));
    EXPECT_EQ(errno, ENOTDIR);

    TextView view;
    view.replaceSelWithFile(tmp() + "/vanished.ps");
    EXPECT_FALSE(DocumentDirectory::save(dir(), view.richText()));
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
}  // namespace quill

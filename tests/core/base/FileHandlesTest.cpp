// Descriptor owners, mappings, the commit-or-rollback temporary file and PageBuffer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Buffer.h"
#include "base/FileHandles.h"
#include "base/PageBuffer.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;

class FileHandlesTest : public QuillTest {};

TEST_F(FileHandlesTest, DescriptorsAreCloseOnExec) {
    std::string path = writeFile("f", "abc");
    UniqueFd fd = openFile(path, O_RDONLY);
    ASSERT_TRUE(fd);
    EXPECT_TRUE(::fcntl(fd.get(), F_GETFD) & FD_CLOEXEC);
    UniqueFile f = UniqueFile::open(path, "r");
    ASSERT_TRUE(f);
    EXPECT_TRUE(::fcntl(fileno(f.get()), F_GETFD) & FD_CLOEXEC);
}

TEST_F(FileHandlesTest, TempFileReplacesTheTargetOnlyOnCommit) {
    std::string target = writeFile("toc", "old");
    {
        TempFile t(target);
        ASSERT_TRUE(t.valid());
        ASSERT_TRUE(t.write("half-written"));
    }  // abandoned: the old contents stay and no stray file is left
    EXPECT_EQ(test::slurp(target), "old");
    EXPECT_EQ(::access((target + ".XXXXXX").c_str(), F_OK), -1);

    TempFile t(target, 0640);
    ASSERT_TRUE(t.write("new"));
    ASSERT_TRUE(t.commit());
    EXPECT_EQ(test::slurp(target), "new");
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(::access(t.path().c_str(), F_OK), -1);
}

TEST_F(FileHandlesTest, PositionalReadsStopAtTheEndAndWritesExtend) {
    std::string path = writeFile("f", "abcdef");
    UniqueFd fd = openFile(path, O_RDWR);
    ASSERT_TRUE(fd);
    char buf[8] = {};
    EXPECT_EQ(readAt(fd.get(), buf, sizeof buf, 4), 2u);
    EXPECT_EQ(std::string(buf, 2), "ef");
    EXPECT_FALSE(readAllAt(fd.get(), buf, 3, 4));
    EXPECT_TRUE(readAllAt(fd.get(), buf, 0, 99));
    ASSERT_TRUE(writeAllAt(fd.get(), "XY", 8));
    EXPECT_EQ(fileSize(fd.get()), 10u);
    EXPECT_EQ(test::slurp(path), std::string("abcdef\0\0XY", 10));
    EXPECT_EQ(::lseek(fd.get(), 0, SEEK_CUR), 0);  // the descriptor's offset is left alone
    EXPECT_EQ(fileSize(-1), 0u);
}

TEST_F(FileHandlesTest, MappingsCoverEmptyAndMissingFiles) {
    Mapping empty = Mapping::ofFile(writeFile("empty", ""));
    EXPECT_TRUE(empty.valid());
    EXPECT_EQ(empty.size(), 0u);
    Mapping missing = Mapping::ofFile(tmp() + "/nope");
    EXPECT_FALSE(missing.valid());
    EXPECT_EQ(errno, ENOENT);
    Mapping m = Mapping::ofFile(writeFile("m", "From a\n"));
    EXPECT_EQ(m.view(), "From a\n");
}

TEST_F(FileHandlesTest, PageBufferGrowsByPagesAndCopiesAMappingOnChange) {
    PageBuffer b;
    b.append("x");
    EXPECT_EQ(b.capacity() % PageBuffer::pageSize(), 0u);
    std::string big(3 * PageBuffer::pageSize() + 5, 'y');
    b.append(big);
    EXPECT_EQ(b.size(), big.size() + 1);
    EXPECT_EQ(b.view().substr(0, 2), "xy");

    std::string path = writeFile("mbox", "mapped bytes");
    PageBuffer m;
    ASSERT_TRUE(m.mapFile(path));
    EXPECT_TRUE(m.mapped());
    m.append("!");
    EXPECT_FALSE(m.mapped());
    EXPECT_EQ(m.view(), "mapped bytes!");
    EXPECT_EQ(test::slurp(path), "mapped bytes");
    m.truncate(6);
    EXPECT_EQ(m.view(), "mapped");
}

TEST(BufferTest, RecordsInsertAndRemoveInPlace) {
    Buffer<int> b;
    for (int i = 0; i < 5; ++i) b.append(i);
    b.removeAt(1);
    b.insertAt(0, 9);
    b.truncate(3);
    EXPECT_EQ(b.count(), 3u);
    EXPECT_EQ(b.at(0), 9);
    EXPECT_EQ(b.at(1), 0);
    EXPECT_EQ(b.at(2), 2);
}

}  // namespace
}  // namespace quill

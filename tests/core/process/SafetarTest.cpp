// safetar, Quill's guard around the system tar: archives from mail unpack only
// inside their directory. The archives here are written byte by byte, so they
// can hold what no friendly tar would make.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

#include "core/process/ProcessTesting.h"
#include "process/RunCommand.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

struct Entry {
    Entry(std::string n, char t = '0', std::string l = "", std::string d = "", int m = 0644,
          int u = 0)
        : name(std::move(n)), type(t), link(std::move(l)), data(std::move(d)), mode(m), uid(u) {}
    std::string name;
    char type;  // '0' file, '1' hard link, '2' symbolic link, '3' device, '5' directory, '6' fifo
    std::string link;
    std::string data;
    int mode;
    int uid;
};

void octal(std::string& block, size_t at, size_t width, unsigned long value) {
    std::snprintf(block.data() + at, width, "%0*lo", static_cast<int>(width - 1), value);
}

// One ustar archive, as tar writes it: a 512-byte header per entry, the data
// padded to 512 bytes, and two empty blocks at the end.
std::string tarArchive(const std::vector<Entry>& entries) {
    std::string out;
    for (const auto& e : entries) {
        std::string h(512, '\0');
        std::memcpy(h.data(), e.name.data(), std::min<size_t>(e.name.size(), 100));
        octal(h, 100, 8, static_cast<unsigned long>(e.mode));
        octal(h, 108, 8, static_cast<unsigned long>(e.uid));
        octal(h, 116, 8, static_cast<unsigned long>(e.uid));
        octal(h, 124, 12, e.data.size());
        octal(h, 136, 12, 1700000000);
        h[156] = e.type;
        std::memcpy(h.data() + 157, e.link.data(), std::min<size_t>(e.link.size(), 100));
        std::memcpy(h.data() + 257,
                    "ustar\0"
                    "00",
                    8);
        std::memset(h.data() + 148, ' ', 8);
        unsigned sum = 0;
        for (unsigned char c : h) sum += c;
        std::snprintf(h.data() + 148, 8, "%06o", sum);
        out += h + e.data + std::string((512 - e.data.size() % 512) % 512, '\0');
    }
    return out + std::string(1024, '\0');
}

class SafetarTest : public test::QuillTest {
  protected:
    test::RealLauncher real;
    void SetUp() override {
        QuillTest::SetUp();
        program = std::string(QUILL_BIN_DIR) + "/safetar";
        if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "safetar is not built";
        target = tmp() + "/box/target";
        ::mkdir((tmp() + "/box").c_str(), 0700);
        ::mkdir(target.c_str(), 0700);
    }
    int unpack(const std::vector<Entry>& entries) {
        std::string inBytes = tarArchive(entries);
        ByteSource in(inBytes);
        return RunCommand(real.launcher)
            .runPipeWithInputFrom({{program, "xf", "-", "-C", target}}, in);
    }

    std::string program;
    std::string target;
};

TEST_F(SafetarTest, UnpacksFilesDirectoriesAndLinksThatStayInside) {
    ASSERT_EQ(unpack({
                  {"./", '5', "", "", 0755},
                  {"./docs/", '5', "", "", 0755},
                  {"./docs/TXT.rtf", '0', "", "{\\rtf0 hello}", 04755, 4242},
                  {"./a b.tiff", '0', "", "II*"},
                  {"./docs/picture", '2', "../a b.tiff"},
                  {"./docs/same", '2', "TXT.rtf"},
                  {"./copy", '1', "./docs/TXT.rtf"},
              }),
              0);
    EXPECT_EQ(test::slurp(target + "/docs/TXT.rtf"), "{\\rtf0 hello}");
    EXPECT_EQ(test::slurp(target + "/docs/picture"), "II*");
    EXPECT_EQ(test::slurp(target + "/copy"), "{\\rtf0 hello}");
    struct stat st {};
    ASSERT_EQ(::stat((target + "/docs/TXT.rtf").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::getuid()) << "the archive's owner was taken";
    EXPECT_EQ(st.st_mode & (S_ISUID | S_ISGID), 0u) << "a set-id bit was taken";
}

TEST_F(SafetarTest, RefusesArchivesThatReachOutsideAndWritesNothing) {
    Entry innocent{"./readme", '0', "", "first"};
    struct Row {
        const char* name;
        Entry bad;
    } rows[] = {
        {"absolute name", {"/tmp/quill-safetar-abs", '0', "", "x"}},
        {"parent directory", {"../outside", '0', "", "x"}},
        {"parent in the middle", {"docs/../../outside", '0', "", "x"}},
        {"character device", {"./tty", '3'}},
        {"fifo", {"./pipe", '6'}},
        {"link to an absolute name", {"./passwd", '2', "/etc/passwd"}},
        {"link climbing out", {"./docs/up", '2', "../../outside"}},
        {"link climbing out of the middle", {"./up", '2', "docs/../../outside"}},
        {"hard link outside", {"./hard", '1', "../outside"}},
        {"hard link absolute", {"./hard", '1', "/etc/passwd"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(unpack({innocent, row.bad}), 2);
        EXPECT_TRUE(test::dirEntries(target).empty());
        EXPECT_EQ(test::dirEntries(tmp() + "/box"), std::vector<std::string>{"target"});
    }
    EXPECT_NE(::access("/tmp/quill-safetar-abs", F_OK), 0);
}

TEST_F(SafetarTest, RefusesWritingThroughALinkTheArchiveMade) {
    EXPECT_EQ(unpack({{"./here", '2', "."}, {"./here/file", '0', "", "x"}}), 2);
    EXPECT_EQ(unpack({{"./d/", '5'}, {"./d/l", '2', ".."}, {"./d/l/x", '0', "", "x"}}), 2);
    EXPECT_TRUE(test::dirEntries(target).empty());
}

TEST_F(SafetarTest, PacksAndUnpacksThroughStandardStreamsAsTheAttachmentPipelinesDo) {
    std::string source = writeFile("src/TXT.rtf", "{\\rtf0 text}");
    writeFile("src/file name.txt", "attached");
    ByteSink packed;
    ASSERT_EQ(RunCommand(real.launcher)
                  .runPipeWithOutputTo({{program, "cf", "-", "-C", tmp() + "/src", "."}}, packed),
              0);

    // Unpacking runs in the target directory, reading the archive from standard input.
    std::string inBytes = packed.bytes();
    ByteSource in(inBytes);
    std::string command = "cd " + shellQuote(target) + "; " + shellQuote(program) + " xf -";
    EXPECT_EQ(RunCommand(real.launcher).runPipeWithInputFrom({{"sh", "-c", command}}, in), 0);
    EXPECT_EQ(test::slurp(target + "/TXT.rtf"), "{\\rtf0 text}");
    EXPECT_EQ(test::slurp(target + "/file name.txt"), "attached");
}

}  // namespace
}  // namespace quill

// Attachment directories copied by find and cpio (waited for, since a move
// commits only after its copies) and removed by rm in a child nobody waits for.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "StoreFixture.h"
#include "store/attachmentdirs.h"
#include "support/FakeProcessLauncher.h"

namespace quill::test {
namespace {

namespace fs = std::filesystem;

class AttachmentDirectoriesTest : public StoreTest {
  protected:
    FakeProcessLauncher fake;
};

TEST_F(AttachmentDirectoriesTest, CopyIsWholeOrNothing) {
    if (::access("/usr/bin/cpio", X_OK) != 0) GTEST_SKIP() << "cpio is not installed";
    std::string from = tmp() + "/Notes.attach", to = tmp() + "/Copy.attach";
    fs::create_directories(from + "/deep/er");
    spit(from + "/index.rtf", "{\\rtf0 notes}");
    spit(from + "/deep/er/picture.tiff", std::string(70000, 'x'));
    EXPECT_TRUE(copyAttachmentDirectory(processLauncher(), from, to));
    EXPECT_EQ(slurp(to + "/index.rtf"), "{\\rtf0 notes}");
    EXPECT_EQ(slurp(to + "/deep/er/picture.tiff"), std::string(70000, 'x'));
    // A destination that exists is never copied into, nor removed.
    EXPECT_FALSE(copyAttachmentDirectory(processLauncher(), from, to));
    EXPECT_TRUE(fs::exists(to + "/index.rtf"));
    // A source that cannot be entered leaves no destination behind.
    EXPECT_FALSE(copyAttachmentDirectory(processLauncher(), tmp() + "/Missing.attach",
                                         tmp() + "/None.attach"));
    EXPECT_FALSE(fs::exists(tmp() + "/None.attach"));
}

TEST_F(AttachmentDirectoriesTest, FailingCopyStageRemovesTheDestination) {
    std::string to = tmp() + "/Copy.attach";
    struct Row {
        const char* name;
        int cpioExit, findExit;
        bool cpioStarts;
    } rows[] = {{"cpio fails", 2, 0, true}, {"find fails", 0, 1, true}, {"no cpio", 0, 0, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeProcessLauncher launcher;
        if (row.cpioStarts) {
            launcher.script("", row.cpioExit);
        } else {
            launcher.failNextLaunch(EAGAIN);
        }
        launcher.script("", row.findExit);
        EXPECT_FALSE(copyAttachmentDirectory(launcher, tmp(), to));
        EXPECT_FALSE(fs::exists(to));
        std::vector<std::vector<std::string>> argvs;
        for (const auto& launch : launcher.launches()) {
            EXPECT_EQ(launch.request.directory, tmp());
            argvs.push_back(launch.request.argv);
        }
        std::vector<std::string> cpio = {"/usr/bin/cpio", "-pdl", to};
        std::vector<std::string> find = {"/usr/bin/find", ".", "-depth", "-print"};
        using Argvs = std::vector<std::vector<std::string>>;
        EXPECT_EQ(argvs, (row.cpioStarts ? Argvs{cpio, find} : Argvs{find}));
    }
}

TEST_F(AttachmentDirectoriesTest, RemovalGetsOnlyPlainNamesAndIsNotWaitedFor) {
    struct Row {
        std::vector<std::string> names;
        std::vector<std::string> argv;  // empty: nothing started
    } rows[] = {
        {{"A.attach", "B.attach"}, {"/bin/rm", "-rf", "A.attach", "B.attach"}},
        {{"..", ".", "", "x/../../y", "/etc", "C.attach"}, {"/bin/rm", "-rf", "C.attach"}},
        {{"-i", "-rf.attach"}, {"/bin/rm", "-rf", "./-i", "./-rf.attach"}},
        {{"..", "a/b"}, {}},
    };
    for (const Row& row : rows) {
        std::size_t before = fake.launches().size();
        removeAttachmentDirectories(fake, boxPath(), row.names);
        ASSERT_EQ(fake.launches().size() - before, row.argv.empty() ? 0u : 1u);
        if (row.argv.empty()) continue;
        const LaunchRequest& rm = fake.launches().back().request;
        EXPECT_EQ(rm.argv, row.argv);
        EXPECT_EQ(rm.directory, boxPath());
        EXPECT_GE(rm.stdio[0], 0);
        // Left to the child-exit watch: still uncollected until the run loop turns.
        int status = 0;
        EXPECT_EQ(fake.tryWait(fake.launches().back().pid, status), 1);
    }
}

}  // namespace
}  // namespace quill::test

// The application's own ways of running a program (app/programs.h); they live
// beside the subprocess tests because they share the child bookkeeping.
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <sstream>

#include "process/ChildWatch.h"
#include "process/programs.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

class ProgramsTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        setSignal();  // the watch collects what run() leaves behind
    }
    void TearDown() override {
        endChildWatch();
        QuillTest::TearDown();
    }
};

TEST_F(ProgramsTest, RunPipesInputThroughAFilterOfAnySize) {
    std::string data(3 * 1024 * 1024, '\0');
    std::mt19937 gen(5);
    for (auto& c : data) c = static_cast<char>(gen());
    auto out = run({"cat"}, data);
    ASSERT_TRUE(out);
    EXPECT_TRUE(*out == data) << out->size();
    EXPECT_EQ(run({"tr", "a-z", "A-Z"}, "filter me").value_or("?"), "FILTER ME");
    EXPECT_EQ(run({"/nonexistent/filter"}, "x").value_or("?"), "");
}

TEST_F(ProgramsTest, RunTakesOnlyTheCountedBytesOfAStream) {
    ByteSource in("abcdef");
    EXPECT_EQ(run({"cat"}, in, 3).value_or("?"), "abc");
    EXPECT_EQ(in.position(), 3u);
    EXPECT_TRUE(logLines.empty());
    // A stream shorter than the count is a read error; the rest still goes through.
    EXPECT_EQ(run({"cat"}, in, 10).value_or("?"), "def");
    EXPECT_EQ(logLines, std::vector<std::string>{"read error: No data available\n"});
}

TEST_F(ProgramsTest, ExecReplacesAForkedChildOrEndsItWithStatusOne) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    CArgv echo({"sh", "-c", "printf via-exec"});
    pid_t pid = ::fork();
    if (pid == 0) exec(echo, 0, fds[1]);
    ::close(fds[1]);
    std::string out;
    char buf[64];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
    ::close(fds[0]);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_EQ(out, "via-exec");

    CArgv missing({"/nonexistent/program"});
    pid = ::fork();
    if (pid == 0) exec(missing, 0, 1);
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace quill

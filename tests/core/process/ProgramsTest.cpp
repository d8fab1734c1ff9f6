// The application's own ways of running a program (process/programs.h).
#include <random>

#include "core/process/ProcessTesting.h"
#include "process/programs.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

class ProgramsTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        real.watch.start();  // the watch collects what run() leaves behind
    }
    test::RealLauncher real;
    ProcessLauncher& launcher = real.launcher;
};

TEST_F(ProgramsTest, RunPipesInputThroughAFilterOfAnySize) {
    std::string data(3 * 1024 * 1024, '\0');
    std::mt19937 gen(5);
    for (auto& c : data) c = static_cast<char>(gen());
    auto out = run(launcher, {"cat"}, data);
    ASSERT_TRUE(out);
    EXPECT_TRUE(*out == data) << out->size();
    EXPECT_EQ(run(launcher, {"tr", "a-z", "A-Z"}, "filter me").value_or("?"), "FILTER ME");
    EXPECT_EQ(run(launcher, {"/nonexistent/filter"}, "x").value_or("?"), "");
}

TEST_F(ProgramsTest, RunTakesOnlyTheCountedBytesOfAStream) {
    ByteSource in("abcdef");
    EXPECT_EQ(run(launcher, {"cat"}, in, 3).value_or("?"), "abc");
    EXPECT_EQ(in.position(), 3u);
    EXPECT_TRUE(logLines.empty());
    // A stream shorter than the count is a read error; the rest still goes through.
    EXPECT_EQ(run(launcher, {"cat"}, in, 10).value_or("?"), "def");
    EXPECT_EQ(logLines, std::vector<std::string>{"read error: No data available\n"});
}

}  // namespace
}  // namespace quill

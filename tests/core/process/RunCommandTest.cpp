#include <fcntl.h>
#include <unistd.h>

#include <random>
#include <sstream>

#include "core/process/ProcessTesting.h"
#include "process/RunCommand.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using Argv = RunCommand::Argv;

Argv shell(const std::string& command) { return {"sh", "-c", command}; }

std::string randomBytes(size_t n) {
    std::mt19937 gen(42);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(gen());
    return s;
}

class RunCommandTest : public test::QuillTest {
  protected:
    std::string output(const std::vector<Argv>& commands, int* status = nullptr) {
        ByteSink out;
        int s = runner.runPipeWithOutputTo(commands, out);
        if (status) *status = s;
        return out.bytes();
    }
    test::RealLauncher real;
    RunCommand runner{real.launcher};
};

TEST_F(RunCommandTest, PipelineAnswersTheFirstFailingCodeInPipelineOrder) {
    struct Row {
        const char* name;
        std::vector<Argv> commands;
        int status;
    } rows[] = {
        {"all succeed", {shell("exit 0"), shell("exit 0")}, 0},
        {"second fails", {shell("exit 0"), shell("exit 2")}, 2},
        {"both fail", {shell("exit 1"), shell("exit 2")}, 1},
        {"third of three", {{"true"}, {"cat"}, shell("cat >/dev/null; exit 9")}, 9},
        {"program not found", {{"cat"}, {"/nonexistent/quill-no-such-program"}}, 127},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::istringstream in("some input\n");  // standard streams work as well
        std::ostringstream out;
        EXPECT_EQ(runner.runPipe(row.commands, &in, &out), row.status);
    }
}

TEST_F(RunCommandTest, TenMegabytesPassThroughWithInputAndOutputTogether) {
    std::string data = randomBytes(10 * 1024 * 1024);
    for (const auto& commands : {std::vector<Argv>{{"cat"}}, std::vector<Argv>{{"cat"}, {"cat"}}}) {
        SCOPED_TRACE(commands.size());
        std::string inBytes = data;
        ByteSource in(inBytes);
        ByteSink out;
        EXPECT_EQ(runner.runPipe(commands, in, out), 0);
        EXPECT_TRUE(out.bytes() == data) << "got " << out.bytes().size() << " bytes";
    }
}

TEST_F(RunCommandTest, AProgramThatStopsReadingDoesNotEndUs) {
    std::string inBytes = randomBytes(4 * 1024 * 1024);
    ByteSource in(inBytes);
    ByteSink out;
    EXPECT_EQ(runner.runPipe({{"head", "-c", "10"}}, in, out), 0);
    EXPECT_EQ(out.bytes().size(), 10u);
    ByteSource again("x");
    EXPECT_EQ(runner.runPipeWithInputFrom({{"true"}}, again), 0);
}

TEST_F(RunCommandTest, InputOnlyAndOutputOnly) {
    std::string file = tmp() + "/written";
    ByteSource in("to the file\n");
    EXPECT_EQ(
        runner.runPipeWithInputFrom({{"tr", "a-z", "A-Z"}, shell("cat > '" + file + "'")}, in), 0);
    EXPECT_EQ(test::slurp(file), "TO THE FILE\n");
    EXPECT_EQ(output({{"printf", "%s-%s", "a b", "c"}}), "a b-c");
}

TEST_F(RunCommandTest, ChildrenInheritNoDescriptorsBeyondTheStandardThree) {
    // A descriptor opened without close-on-exec, as a careless library might.
    int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 0);
    int high = ::dup2(leaky, 57);
    std::string listing = output({{"ls", "-1", "/proc/self/fd"}});
    ::close(leaky);
    ::close(high);
    // ls itself holds one descriptor for the directory it reads.
    EXPECT_EQ(listing, "0\n1\n2\n3\n");
}

TEST_F(RunCommandTest, ShellCommandFeedsOrDrainsButNotBoth) {
    ByteSink out;
    EXPECT_EQ(runner.runWithOutputTo("printf hello; exit 3", out), 3 << 8);
    EXPECT_EQ(out.bytes(), "hello");

    std::string file = tmp() + "/fed";
    ByteSource in("fed text");
    EXPECT_EQ(runner.runWithInputFrom("cat > " + shellQuote(file), in), 0);
    EXPECT_EQ(test::slurp(file), "fed text");

    std::istringstream both("x");
    std::ostringstream sink;
    EXPECT_EQ(runner.run("cat", &both, &sink), -1);
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(logLines[0],
              "[*** RunCommand Error: Internal Error: Simultaneous input and output is not yet "
              "supported.***]\n");
}

TEST_F(RunCommandTest, ShellQuoteKeepsNastyNamesOneLiteralWord) {
    std::string trap = tmp() + "/pwned";
    const std::string names[] = {
        "with blank",
        "it's",
        "''",
        "$(touch " + trap + ")",
        "`touch " + trap + "`",
        "semi;colon && ls | wc",
        "new\nline",
        "",
        "back\\slash\\",
        "*",
        "~root",
        "$HOME",
        "-n",
        "tab\there\x01\xff",
    };
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        ByteSink out;
        EXPECT_EQ(runner.runWithOutputTo("printf '%s|' " + shellQuote(name), out), 0);
        EXPECT_EQ(out.bytes(), name + "|");
    }
    EXPECT_NE(::access(trap.c_str(), F_OK), 0) << "a quoted name ran a command";
}

TEST_F(RunCommandTest, UnmanglefilenameRemovesOnlyOurProcessMark) {
    int pid = static_cast<int>(::getpid());
    struct Row {
        std::string in, out;
    } rows[] = {
        {"report-" + std::to_string(pid) + "-3.ps", "report.ps"},
        {"report-" + std::to_string(pid) + "-.ps", "report.ps"},
        {"a-" + std::to_string(pid) + "-123", "a"},
        {"report-" + std::to_string(pid + 1) + "-3.ps",
         "report-" + std::to_string(pid + 1) + "-3.ps"},
        {"plain.txt", "plain.txt"},
    };
    for (const auto& row : rows) EXPECT_EQ(unmanglefilename(row.in), row.out) << row.in;
}

}  // namespace
}  // namespace quill

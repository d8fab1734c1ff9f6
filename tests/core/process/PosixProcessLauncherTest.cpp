#include <sys/stat.h>

#include "core/process/ProcessTesting.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

class PosixProcessLauncherTest : public test::QuillTest {
  protected:
    // Runs the request with its output (and error) on pipes; answers the
    // output and sets the wait status.
    std::string outputOf(LaunchRequest request, int& status, std::string* error = nullptr) {
        request.stdio[1] = kPipeStream;
        if (error) request.stdio[2] = kPipeStream;
        LaunchedChild child = real.launcher.launch(request);
        EXPECT_TRUE(child.started());
        std::string out;
        EXPECT_TRUE(readAll(child.output.get(), out));
        if (error) {
            EXPECT_TRUE(readAll(child.error.get(), *error));
        }
        status = real.launcher.wait(child.pid);
        return out;
    }
    test::RealLauncher real;
};

TEST_F(PosixProcessLauncherTest, EnvironmentChangesAndDirectoryReachTheChild) {
    LaunchRequest request;
    request.argv = {"sh", "-c", "printf '%s|%s|%s' \"$QUILL_SET\" \"${HOME-unset}\" \"$(pwd)\""};
    request.environment = {"QUILL_SET=yes", "HOME"};
    request.directory = tmp();
    int status = -1;
    EXPECT_EQ(outputOf(request, status), "yes|unset|" + tmp());
    EXPECT_EQ(status, 0);
    EXPECT_NE(std::getenv("HOME"), nullptr) << "our own environment changed";
}

TEST_F(PosixProcessLauncherTest, EachChildLeadsItsOwnProcessGroup) {
    LaunchRequest request;
    request.argv = {"sh", "-c", "echo $$ $(cut -d' ' -f5 /proc/$$/stat)"};
    int status = -1;
    std::string out = outputOf(request, status);
    std::string pid = out.substr(0, out.find(' '));
    EXPECT_EQ(out, pid + " " + pid + "\n");
    EXPECT_NE(std::to_string(::getpgrp()), pid);
}

TEST_F(PosixProcessLauncherTest, AProgramThatCannotRunIsReportedUnderItsLabel) {
    LaunchRequest request;
    request.argv = {"quill-no-such-program-anywhere"};
    request.failureLabel = "fetch";
    request.failureStatus = 9;
    int status = -1;
    std::string error;
    EXPECT_EQ(outputOf(request, status, &error), "");
    EXPECT_EQ(error, "fetch: No such file or directory\n");
    EXPECT_EQ(status, 9 << 8);

    request.directory = tmp() + "/missing";
    request.argv = {"true"};
    outputOf(request, status, &error);
    EXPECT_EQ(status, 9 << 8);
}

TEST_F(PosixProcessLauncherTest, AScriptWithoutInterpreterLineRunsUnderTheShell) {
    std::string script = writeFile("plain-script", "echo ran with \"$1\"\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    LaunchRequest request;
    request.argv = {script, "an argument"};
    int status = -1;
    EXPECT_EQ(outputOf(request, status), "ran with an argument\n");
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace quill

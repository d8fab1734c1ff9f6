#include <sys/stat.h>
#include <unistd.h>

#include "app/MimeFetcher.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "platform/Workspace.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

struct RecordingWorkspace : Workspace {
    std::vector<std::string> opened;
    bool openFile(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
};

// An ftp client that keeps its arguments and commands, refuses the user
// "bad", answers the size query and writes the file the get line names.
// clang-format off
constexpr const char* kFakeFtp = R"sh(#!/bin/sh
dir=$(dirname "$0")
printf '%s\n' "$@" > "$dir/args"
cat > "$dir/commands"
if head -1 "$dir/commands" | grep -q "^user bad "; then
  echo "Login incorrect."
  sleep 10
  exit 1
fi
echo "Verbose mode on."
echo "213 12"
target=$(sed -n 's/^get "[^"]*" "\(.*\)"$/\1/p' "$dir/commands")
printf 'hello world\n' > "$target"
)sh";
// clang-format on

class MimeFetcherTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        mkdir((tmp() + "/quill").c_str(), 0700);
        mkdir((tmp() + "/bin").c_str(), 0700);
        std::string ftp = writeFile("bin/ftp", kFakeFtp);
        chmod(ftp.c_str(), 0755);
        fetcherOwner = std::make_unique<MimeFetcher>(processLauncher(), tmp() + "/quill");
        fetcherOwner->setFtpProgram(ftp);
        installWorkspace(workspace);
    }
    std::string part(const std::string& parameters) {
        return writeFile("part", "Content-Type: message/external-body; " + parameters +
                                     "\n\nContent-Type: application/octet-stream\n\n");
    }
    std::vector<std::string> quillFiles() {
        std::vector<std::string> names;
        for (const char* n : {"notes.txt", "passwd", "mimefetch"})
            if (access((tmp() + "/quill/" + n).c_str(), F_OK) == 0) names.emplace_back(n);
        return names;
    }

    MimeFetcher& fetcher() { return *fetcherOwner; }
    std::unique_ptr<MimeFetcher> fetcherOwner;
    std::shared_ptr<RecordingWorkspace> workspace = std::make_shared<RecordingWorkspace>();
};

TEST_F(MimeFetcherTest, AnonymousFtpInCapitalsAsksFetchesAndOpens) {
    panels->answer(0);
    ASSERT_TRUE(fetcher().openExternalBodyForFile(
        part("access-type=ANON-FTP; site=ftp.example.org; directory=pub; name=notes.txt; "
             "mode=local8; size=2048")));
    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].message,
              "This is an external MIME attachment that has to be retrieved over the network.  "
              "Would you like to get it now?  Its size is 2KB.");
    ASSERT_EQ(workspace->opened.size(), 1u);
    EXPECT_EQ(workspace->opened[0], tmp() + "/quill/notes.txt");
    EXPECT_EQ(test::slurp(workspace->opened[0]), "hello world\n");
    EXPECT_EQ(test::slurp(tmp() + "/bin/args"), "-n\n-i\n-g\nftp.example.org\n");
    EXPECT_EQ(test::slurp(tmp() + "/bin/commands"),
              "user " + MimeFetcher::anonUserPass() +
                  "\ntype binary\ncd \"pub\"\nverbose\nquote size \"notes.txt\"\nverbose\n"
                  "get \"notes.txt\" \"" +
                  tmp() + "/quill/notes.txt\"\nquit\n");
    EXPECT_EQ(MimeFetcher::anonUserPass().rfind("anonymous " + currentUser().loginName + "@", 0),
              0u);
    ASSERT_EQ(panels->progress().size(), 1u);
    EXPECT_EQ(panels->progress()[0].messages.back(), "12");
}

TEST_F(MimeFetcherTest, CancelAndSizeSentence) {
    panels->answer(1);
    EXPECT_FALSE(fetcher().openExternalBodyForFile(part("access-type=mail-server; server=s@x")));
    EXPECT_EQ(panels->alerts()[0].message,
              "This is an external MIME attachment that has to be retrieved by mail.  Would you "
              "like to get it now?  ");
    EXPECT_TRUE(workspace->opened.empty());
}

TEST_F(MimeFetcherTest, ALoginIsAskedOnceAndARefusedOneForgotten) {
    int asked = 0;
    std::string user = "bad";
    fetcher().setLoginPanel([&](const std::string& site, const std::string&) {
        ++asked;
        EXPECT_EQ(site, "ftp.example.org");
        return std::optional<MimeFetcher::Login>({user, "secret"});
    });
    const std::string ftp = part("access-type=ftp; site=ftp.example.org; name=notes.txt");
    panels->answer(0);
    panels->answer(0);
    panels->answer(0);
    EXPECT_FALSE(fetcher().openExternalBodyForFile(ftp));
    EXPECT_EQ(panels->alerts()[1].message, "Permission denied: Invalid username and/or password.");
    EXPECT_TRUE(quillFiles().empty());
    user = "good";
    panels->answer(0);
    EXPECT_TRUE(fetcher().openExternalBodyForFile(ftp));
    panels->answer(0);
    EXPECT_TRUE(fetcher().openExternalBodyForFile(ftp));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(test::slurp(tmp() + "/bin/commands").substr(0, 17), "user good secret\n");
}

TEST_F(MimeFetcherTest, HostileParametersFetchNothingOutsideAndRunNothing) {
    const std::string pwned = tmp() + "/pwned";
    const std::string cases[] = {
        "access-type=anon-ftp; site=\"-oProxyCommand=touch " + pwned + "\"; name=x",
        "access-type=anon-ftp; site=\"a;touch " + pwned + "\"; name=x",
        "access-type=anon-ftp; site=ftp.example.org; name=\"!touch " + pwned + "\"",
        "access-type=anon-ftp; site=ftp.example.org; directory=\"pub\\\"\"; name=x",
    };
    for (const std::string& parameters : cases) {
        panels->answer(0);
        panels->answer(0);
        EXPECT_FALSE(fetcher().openExternalBodyForFile(part(parameters))) << parameters;
    }
    EXPECT_NE(access(pwned.c_str(), F_OK), 0);
    EXPECT_NE(access((tmp() + "/bin/args").c_str(), F_OK), 0);

    // Only the last component of the name is used for the file.
    panels->answer(0);
    EXPECT_TRUE(fetcher().openExternalBodyForFile(
        part("access-type=anon-ftp; site=ftp.example.org; name=\"../../etc/passwd\"")));
    EXPECT_EQ(quillFiles(), std::vector<std::string>{"passwd"});
    EXPECT_NE(test::slurp("/etc/passwd"), "hello world\n");
}

TEST_F(MimeFetcherTest, LocalFileIsLinkedAndUnknownAccessFails) {
    std::string source = writeFile("doc.txt", "local\n");
    panels->answer(0);
    EXPECT_TRUE(fetcher().openExternalBodyForFile(part("access-type=local-file; name=" + source)));
    EXPECT_EQ(test::slurp(workspace->opened.at(0)), "local\n");
    panels->answer(0);
    panels->answer(0);
    EXPECT_FALSE(fetcher().openExternalBodyForFile(part("access-type=afs; name=x")));
    EXPECT_EQ(panels->alerts().back().message, "Could not retrieve external attachment.");
}

}  // namespace
}  // namespace quill

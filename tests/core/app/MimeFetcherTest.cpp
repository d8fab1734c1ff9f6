#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "app/MimeFetcher.h"
#include "base/FileHandles.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "platform/Workspace.h"
#include "settings/Defaults.h"
#include "support/LocalPort.h"
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
// A mailer that keeps its arguments and the request it was given.
constexpr const char* kFakeMailer = R"sh(#!/bin/sh
dir=$(dirname "$0")
cat > "$dir/request"
printf '%s\n' "$@" > "$dir/mailer-args.tmp"
mv "$dir/mailer-args.tmp" "$dir/mailer-args"
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
        std::string mailer = writeFile("bin/sendmail", kFakeMailer);
        chmod(mailer.c_str(), 0755);
        Defaults::shared().setMailer(mailer);
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

TEST_F(MimeFetcherTest, MailServerSendsTheCarriedRequestAndOpensNothing) {
    const std::string carried = "\n\nSubject: its own\nContent-Type: text/plain\n\nget report.ps\n";
    struct Case {
        std::string parameters;
        std::string replyTo;
        bool sent;
        std::string request;
    } cases[] = {
        {"access-type=Mail-Server; server=\"srv@example.org\"; subject=\"send it\"",
         "me@example.org", true,
         "Reply-To: me@example.org\nSubject: send it\nContent-Type: text/plain\n\nget "
         "report.ps\n"},
        {"access-type=mail-server; server=srv@example.org; subject=\"\"", "", true,
         "Subject: its own\nContent-Type: text/plain\n\nget report.ps\n"},
        {"access-type=mail-server; server=srv@example.org; subject=\"a\rBcc: evil@x\"", "", true,
         "Subject: a Bcc: evil@x\nContent-Type: text/plain\n\nget report.ps\n"},
        {"access-type=mail-server", "", false, ""},
        {"access-type=mail-server; server=\"-C/tmp/evil.cf\"", "", false, ""},
    };
    for (const Case& c : cases) {
        unlink((tmp() + "/bin/mailer-args").c_str());
        Defaults::shared().setReplyTo(c.replyTo);
        writeFile("part", "Content-Type: message/external-body; " + c.parameters + carried);
        for (int i = 0; i < 2; ++i) panels->answer(0);
        size_t before = panels->alerts().size();
        EXPECT_EQ(fetcher().openExternalBodyForFile(tmp() + "/part"), c.sent) << c.parameters;
        ASSERT_EQ(panels->alerts().size(), before + 2) << c.parameters;
        EXPECT_EQ(panels->alerts()[before + 1].message,
                  c.sent ? "A request for the document has been sent to srv@example.org.  It "
                           "will shortly be returned to you by mail."
                         : "Could not retrieve external attachment.");
        EXPECT_TRUE(workspace->opened.empty());
        EXPECT_TRUE(quillFiles().empty()) << c.parameters;
        if (!c.sent) continue;
        const std::string args = tmp() + "/bin/mailer-args";
        for (int i = 0; i < 200 && access(args.c_str(), F_OK) != 0; ++i) usleep(20000);
        EXPECT_EQ(test::slurp(args), "-oi\n-odb\nsrv@example.org\n");
        EXPECT_EQ(test::slurp(tmp() + "/bin/request"), c.request);
    }
    EXPECT_NE(access((tmp() + "/bin/mailer-args").c_str(), F_OK), 0);
}

TEST_F(MimeFetcherTest, AnonymousFtpFromALocalServerAndTheFailureWithoutOne) {
    if (access("/usr/bin/tnftp", X_OK) != 0) GTEST_SKIP() << "no tnftp";
    const std::string port = std::to_string(test::freePort());
    mkdir((tmp() + "/served").c_str(), 0700);
    mkdir((tmp() + "/served/pub").c_str(), 0700);
    writeFile("served/pub/notes.txt", "served bytes\n");
    LaunchRequest request;
    request.argv = {"/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", port, "-d",
                    tmp() + "/served"};
    UniqueFd quiet = openFile("/dev/null", O_WRONLY);
    request.stdio[1] = request.stdio[2] = quiet.get();
    LaunchedChild server = processLauncher().launch(request);
    ASSERT_TRUE(server.started());
    for (int i = 0; i < 100 && !test::accepts(std::stoi(port)); ++i) usleep(50000);
    if (!test::accepts(std::stoi(port))) {
        processLauncher().signalGroup(server.pid, SIGKILL);
        processLauncher().wait(server.pid);
        GTEST_SKIP() << "no FTP server (python3-pyftpdlib)";
    }
    // The site is one argument; the test's server listens on a port of its own.
    std::string client =
        writeFile("bin/tnftp-local", "#!/bin/sh\nexec /usr/bin/tnftp \"$@\" " + port + "\n");
    chmod(client.c_str(), 0755);
    fetcher().setFtpProgram(client);
    const std::string parameters =
        "access-type=anon-ftp; site=127.0.0.1; directory=pub; name=notes.txt; mode=local8";
    panels->answer(0);
    EXPECT_TRUE(fetcher().openExternalBodyForFile(part(parameters)));
    ASSERT_EQ(workspace->opened.size(), 1u);
    EXPECT_EQ(test::slurp(workspace->opened[0]), "served bytes\n");

    processLauncher().signalGroup(server.pid, SIGTERM);
    processLauncher().wait(server.pid);
    panels->answer(0);
    panels->answer(0);
    panels->answer(0);
    EXPECT_FALSE(fetcher().openExternalBodyForFile(part(parameters)));
    ASSERT_EQ(panels->alerts().size(), 4u);
    EXPECT_EQ(panels->alerts()[2].message, "An error occurred - see the the console for details.");
    EXPECT_EQ(panels->alerts()[3].message, "Could not retrieve external attachment.");
    EXPECT_EQ(workspace->opened.size(), 1u);
}

}  // namespace
}  // namespace quill

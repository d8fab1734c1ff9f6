// The quilltool commands, run as a user's script would run them.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "StoreFixture.h"

namespace quill::test {
namespace {

class QuilltoolTest : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        if (::access(tool().c_str(), X_OK) != 0) GTEST_SKIP() << "quilltool is not built";
    }
    static std::string tool() { return std::string(QUILL_BIN_DIR) + "/quilltool"; }
    // Standard output of the command; `status` receives its exit status.
    std::string run(const std::string& args, int* status = nullptr) {
        std::string cmd = "TMPDIR='" + tmp() + "' " + tool() + " " + args + " 2>/dev/null";
        std::FILE* p = ::popen(cmd.c_str(), "r");
        std::string out;
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        int rc = ::pclose(p);
        if (status) *status = WEXITSTATUS(rc);
        return out;
    }
};

TEST_F(QuilltoolTest, TocListsOneLinePerMessage) {
    makeBox(smallMbox());
    std::string out = run("toc " + boxPath());
    EXPECT_EQ(out,
              "0\t \t \t \t1997-03-13\t173\tAlice Example\tLunch\n"
              "1\t \tm\t \t1997-03-14\t248\tBob\tCaf\xe9 plans\n"
              "2\t \t \t \t1997-03-15\t102\ttester\tRe: Lunch\n"
              "3\t \tr\te\t1997-03-16\t149\tCarol C\tNotes\n");
    EXPECT_EQ(run("toc --count --rebuild " + boxPath()), "4\n");
}

TEST_F(QuilltoolTest, FindPrintsTheCountAndTheMatchingIndexes) {
    makeBox(smallMbox());
    EXPECT_EQ(run("find " + boxPath() + " lunch"), "2\n0\n2\n");
    EXPECT_EQ(run("find " + boxPath() + " lunch --case"), "0\n");
    EXPECT_EQ(run("find " + boxPath() + " '^Re:' --regex --summaries"), "1\n2\n");
    int status = 0;
    run("find " + boxPath() + " '[' --regex", &status);
    EXPECT_EQ(status, 1);
}

TEST_F(QuilltoolTest, PlainMboxFileIsListedWithoutLeavingFiles) {
    std::string file = writeFile("plain.mbox", smallMbox());
    EXPECT_EQ(run("toc --count " + file), "4\n");
    EXPECT_EQ(slurp(file), smallMbox());
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(tmp()))
        entries += e.path().filename() != "home" && e.path().filename() != "spool" &&
                   e.path().filename() != "plain.mbox";
    EXPECT_EQ(entries, 0);
}

TEST_F(QuilltoolTest, DumpTocShowsEveryField) {
    makeBox(smallMbox());
    run("toc --count " + boxPath());
    std::string out = run("dump-toc " + tocPath());
    EXPECT_EQ(out.substr(0, out.find('\n')).substr(0, 20), "magic=890712\tcount=4");
    EXPECT_NE(out.find("position=32\tlength=73\toffset=38\tmsglength=173\tdate=1997-03-13\t"
                       "status=\" \"\ttype=\" \"\tencrypted=\" \"\tpad=\" \"\t"
                       "sender=\"Alice Example <alice@example.com>\"\tsubject=\"Lunch\"\t"
                       "reference=\"\"\tattachSize=0\tattachTime=0\tpriority=0\n"),
              std::string::npos);
    EXPECT_NE(out.find("subject=\"Caf\\xe9 plans\""), std::string::npos);
    spit(tocPath(), slurp(tocPath()).substr(0, 40));
    int status = 0;
    out = run("dump-toc " + tocPath(), &status);
    EXPECT_NE(out.find("truncated (8 bytes)"), std::string::npos);
    EXPECT_EQ(status, 1);
    run("frobnicate", &status);
    EXPECT_EQ(status, 2);
}

// quilltool indexes a mailbox as Quill would: with the user's "PriorityHeader"
// and a mailbox name taken from the user's "MailDir", read from the settings
// file Quill uses or from the one --config names.
TEST_F(QuilltoolTest, TocReadsTheUsersSettings) {
    const std::string box = tmp() + "/mymail/Box.mbox";
    ::mkdir((tmp() + "/mymail").c_str(), 0700);
    ASSERT_TRUE(makeMailbox(box).ok());
    spit(box + "/mbox",
         "From a@example.com Sun Dec  6 04:00:00 2026\nSubject: urgent\nX-Priority: 2\n\nbody\n");
    const std::string settings =
        "[General]\nMailDir=" + tmp() + "/mymail\nPriorityHeader=X-Priority\n";
    writeFile("elsewhere/settings.conf", settings);
    writeFile("config/Quill/Quill.conf", settings);
    struct Row {
        const char* name;
        std::string command;
    };
    const Row rows[] = {
        {"settings file of the user", "XDG_CONFIG_HOME='" + tmp() + "/config' " + tool() + " toc"},
        {"--config", tool() + " --config '" + tmp() + "/elsewhere/settings.conf' toc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ::unlink((box + "/table_of_contents").c_str());
        EXPECT_EQ(std::system(("cd '" + tmp() + "' && " + row.command +
                               " --rebuild Box.mbox >/dev/null 2>&1")
                                  .c_str()),
                  0);
        EXPECT_NE(run("dump-toc " + box + "/table_of_contents").find("\tpriority=2\n"),
                  std::string::npos);
    }
}

// The spool quilltool takes mail from is the one the user's "SpoolDir" names.
TEST_F(QuilltoolTest, IncorporateTakesTheSpoolOfTheUsersSettings) {
    const passwd* pw = ::getpwuid(::getuid());
    ASSERT_TRUE(pw);
    const std::string mail = "From a@example.com Sun Dec  6 04:00:00 2026\nSubject: hi\n\nbody\n";
    const std::string spool = writeFile(std::string("spool2/") + pw->pw_name, mail);
    writeFile("config/Quill/Quill.conf", "[General]\nSpoolDir=" + tmp() + "/spool2\n");
    makeBox("");
    int status = std::system(("XDG_CONFIG_HOME='" + tmp() + "/config' " + tool() + " incorporate " +
                              boxPath() + " >/dev/null 2>&1")
                                 .c_str());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(slurp(boxPath() + "/mbox"), mail);
    EXPECT_EQ(slurp(spool), "");
}

}  // namespace
}  // namespace quill::test

// quilltool send as a script runs it: the settings file names a fake mailer,
// the private address book expands a group, and what went wrong is told on
// standard error with a failing status.
#include <sys/stat.h>

#include "support/QuillTest.h"

namespace quill {
namespace {

class QuilltoolSendTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        std::string mailer = writeFile("mailer",
                                       "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.argv\"\n"
                                       "cat > \"$0.input\"\nexit ${MAILER_EXIT:-0}\n");
        ::chmod(mailer.c_str(), 0755);
        writeFile("home/.config/Quill/Quill.conf",
                  "[General]\nMailer=" + mailer + "\nMailDir=" + mailDir() + "\nPeopleDir=" +
                      tmp() + "/people\nLoadNISAddresses=NO\nDebug=NO\nIgnoreMailerErrors=NO\n");
        writeFile("people/aliases", "");
        writeFile("home/.config/Quill/.mailalias", "team: ann@x,bob@y\n");
        writeFile("body.txt", "Caf\xe9.\n");
    }
    // Standard error and output, then the status.
    std::string quilltool(const std::string& args, const std::string& env = "") {
        return test::commandOutput(env + " " QUILL_BIN_DIR "/quilltool send " + args + " " + tmp() +
                                   "/body.txt 2>&1; echo status=$?");
    }
};

TEST_F(QuilltoolSendTest, GroupsExpandAndBccStaysOffTheHeaders) {
    EXPECT_EQ(quilltool("--to team --bcc hidden@z --subject 'Caf\xc3\xa9'"), "status=0\n");
    EXPECT_EQ(test::slurp(tmp() + "/mailer.argv"), "-oi\n-odb\nann@x\nbob@y\nhidden@z\n");
    std::string input = test::slurp(tmp() + "/mailer.input");
    EXPECT_NE(input.find("\nTo: team\n"), std::string::npos) << input;
    EXPECT_NE(input.find("Subject: =?iso-8859-1?Q?Caf=E9?="), std::string::npos) << input;
    EXPECT_EQ(input.find("hidden@z"), std::string::npos);
    EXPECT_NE(test::slurp(mailDir() + "/Outgoing.mbox/mbox").find("Caf=E9."), std::string::npos);
}

TEST_F(QuilltoolSendTest, RefusalsGoToStandardError) {
    struct Case {
        const char* args;
        const char* env;
        const char* output;
    } cases[] = {
        {"--to a@x --subject s", "MAILER_EXIT=75",
         "Deliver: Unable to deliver message: The mailer indicated an error (temporary failure). "
         "[OK]\nstatus=1\n"},
        {"--cc ' , ' --subject s", "",
         "Deliver: Invalid recipient list in To: field [OK]\nstatus=1\n"},
        {"--to a@x", "", nullptr},
    };
    for (const Case& c : cases) {
        std::string output = quilltool(c.args, c.env);
        if (c.output)
            EXPECT_EQ(output, c.output);
        else
            EXPECT_TRUE(output.starts_with("usage: quilltool send") &&
                        output.ends_with("status=2\n"))
                << output;
    }
}

}  // namespace
}  // namespace quill

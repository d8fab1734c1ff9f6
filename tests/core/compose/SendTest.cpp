// Delivery through a fake mailer: a script that records its arguments, its
// standard input and what that input was (the temporary file, or "(deleted)"),
// then exits with the code in the file "exit".
#include <sys/stat.h>
#include <unistd.h>

#include "compose/Mailer.h"
#include "compose/ReadReceipt.h"
#include "compose/Send.h"
#include "core/process/ProcessTesting.h"
#include "message/MimeMessage.h"
#include "settings/Defaults.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::slurp;
using test::spit;

constexpr const char* kMailerScript = R"(#!/bin/sh
dir=$(dirname "$0")
printf '%s\n' "$0" "$@" > "$dir/argv.tmp"
readlink /proc/self/fd/0 > "$dir/input-path"
cat > "$dir/input"
mv "$dir/argv.tmp" "$dir/argv"
exit $(cat "$dir/exit" 2>/dev/null || echo 0)
)";

class RecordingView : public SendView {
  public:
    void setTitle(const std::string& title) override { titles.push_back(title); }
    void orderFront() override { ++broughtBack; }
    void performClose() override { closed = true; }
    void hideWindow() override { hidden = true; }
    void setDocumentEdited(bool on) override { edited = on; }
    std::vector<std::string> titles;
    int broughtBack = 0;
    bool closed = false, hidden = false, edited = false;
};

class SendTest : public test::QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        MailMessage::registerMailClass(MailMessage::mailClass());
        registerMimeMessageClass();
        mailer = tmp() + "/mailer/sendmail";
        ::mkdir((tmp() + "/mailer").c_str(), 0700);
        spit(mailer, kMailerScript);
        ::chmod(mailer.c_str(), 0755);
        Defaults& d = Defaults::shared();
        d.setMailer(mailer);
        d.setDebugging(false);
        d.setIgnoreMailerErrors(false);
        d.setUseSignatureFile(false);
        d.setReadReceipt(false);
        d.setSendFormat(0);
        real.watch.start();
        freshSend(SendServices(mailContext(), real.launcher));
    }

    // A new window addressed and written, the mailer's records gone: one case of a table.
    void freshSend(const SendServices& services) {
        for (const char* name : {"argv", "input", "input-path", "exit"})
            ::unlink((tmp() + "/mailer/" + name).c_str());
        view = RecordingView();
        send = std::make_unique<Send>(services);
        send->setView(&view);
        send->setField(kFieldTo, "to@example.org");
        send->setField(kFieldSubject, "Hello");
        send->text().replaceSel("Body text.\n");
    }
    void freshSend() { freshSend(SendServices(mailContext(), real.launcher)); }

    std::string recorded(const char* name) { return slurp(tmp() + "/mailer/" + name); }
    bool mailerRan() { return ::access((tmp() + "/mailer/argv").c_str(), F_OK) == 0; }
    void setExit(int code) { spit(tmp() + "/mailer/exit", std::to_string(code)); }
    // Delivers and serves the run loop until the window closed or came back.
    bool deliverAndWait() {
        if (!send->deliver()) return false;
        return test::serveUntil([&] { return view.closed || view.broughtBack > 0; });
    }
    std::string lastAlert() {
        return panels->alerts().empty() ? "" : panels->alerts().back().message;
    }

    std::string mailer;
    test::RealLauncher real;
    RecordingView view;
    std::unique_ptr<Send> send;
};

TEST_F(SendTest, ChecksStopDeliveryWithTheirAlert) {
    auto mailerAt = [](std::string path) { return [path] { Defaults::shared().setMailer(path); }; };
    struct Case {
        int field;
        std::string value;
        const char* alert;
        std::function<void()> prepare = [] {};
    } cases[] = {
        {kFieldSubject, "two\nlines", "Return characters are not allowed in the Subject: field"},
        {kFieldSubject, std::string(1000, 's'),
         "The Subject: field must contain less that 1000 characters"},
        {kFieldTo, "a@x\r", "Return characters are not allowed in the To: field"},
        {kFieldCc, "b@x\nc@x", "Return characters are not allowed in the Cc: field"},
        {kFieldBcc, "d@x\n", "Return characters are not allowed in the Bcc: field"},
        {kFieldTo, " ,  , ", "Invalid recipient list in To: field"},
        // The mailer must be an executable file.
        {kFieldTo, "to@x", "Invalid Mailer", mailerAt(tmp() + "/missing")},
        {kFieldTo, "to@x", "Invalid Mailer", mailerAt(tmp() + "/mailer")},
    };
    for (const Case& c : cases) {
        freshSend();
        send->setField(c.field, c.value);
        c.prepare();
        panels->answer(0);
        EXPECT_FALSE(send->deliver()) << c.alert;
        EXPECT_EQ(lastAlert(), c.alert);
        EXPECT_FALSE(mailerRan()) << c.alert;
        EXPECT_EQ(send->mode(), kModeComposing);
    }
}

TEST_F(SendTest, BccReachesOnlyTheCommandLine) {
    send->setField(kFieldTo, "Ann <a@x>, b@x");
    send->setField(kFieldCc, "c@x");
    send->setField(kFieldBcc, "hidden@x");
    send->setField(kFieldSubject, std::string(999, 's'));
    send->setArchive(false);
    ASSERT_TRUE(deliverAndWait());
    EXPECT_TRUE(view.closed);
    EXPECT_TRUE(view.hidden);
    EXPECT_EQ(recorded("argv"), mailer + "\n-oi\n-odb\nAnn <a@x>\nb@x\nc@x\nhidden@x\n");
    std::string input = recorded("input");
    EXPECT_NE(input.find("\nTo: Ann <a@x>, b@x\n"), std::string::npos) << input;
    EXPECT_EQ(input.find("hidden@x"), std::string::npos) << input;
    EXPECT_EQ(input.find("Bcc"), std::string::npos);
    // Without "Debug" the mailer reads a file whose name is already gone.
    EXPECT_NE(recorded("input-path").find("(deleted)"), std::string::npos);
    EXPECT_FALSE(send->editing());
}

TEST_F(SendTest, DebugKeepsAPrivateTemporaryFile) {
    Defaults::shared().setDebugging(true);
    send->setArchive(false);
    ASSERT_TRUE(deliverAndWait());
    std::string path = recorded("input-path");
    path.pop_back();
    ASSERT_TRUE(path.starts_with("/tmp/Quill-")) << path;
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(slurp(path), recorded("input"));
    ::unlink(path.c_str());
}

TEST_F(SendTest, ReceiptRequestMarksTheTraceHeader) {
    send->setReadReceipt(true);
    send->setArchive(false);
    ASSERT_TRUE(deliverAndWait());
    EXPECT_NE(recorded("input").find(".RR)\n"), std::string::npos) << recorded("input");
}

TEST_F(SendTest, MailerFailureBringsTheWindowBack) {
    struct Case {
        int exitCode;
        bool ignoreErrors;
        const char* reason;  // null: delivered
    } cases[] = {
        {0, false, nullptr},
        {75, false, "temporary failure"},
        {75, true, nullptr},
        {67, false, "user unknown"},
    };
    for (const Case& c : cases) {
        freshSend();
        Defaults::shared().setIgnoreMailerErrors(c.ignoreErrors);
        send->setArchive(false);
        setExit(c.exitCode);
        if (c.reason) panels->answer(0);
        ASSERT_TRUE(deliverAndWait());
        EXPECT_EQ(view.closed, c.reason == nullptr) << c.exitCode;
        if (c.reason) {
            EXPECT_EQ(lastAlert(), std::string("Unable to deliver message: The mailer indicated an "
                                               "error (") +
                                       c.reason + ").");
            EXPECT_TRUE(view.edited);
            EXPECT_EQ(send->text().plainText(), "Body text.\n");
        }
    }
}

TEST_F(SendTest, MailerThatCannotStartNamesTheSystemError) {
    spit(mailer, "#!/nonexistent/interpreter\n");
    Defaults::shared().setIgnoreMailerErrors(true);
    send->setArchive(false);
    panels->answer(0);
    ASSERT_TRUE(deliverAndWait());
    EXPECT_EQ(lastAlert(),
              "Unable to deliver message: The mailer indicated an error (File system error: No "
              "such file or directory).");
}

TEST(MailerTest, FailureTexts) {
    struct Case {
        int waitStatus;
        bool ignore;
        std::optional<std::string> text;
    } cases[] = {
        {0, false, std::nullopt},
        {9, false, "killed by signal 9"},
        {9, true, "killed by signal 9"},
        {67 << 8, false, "user unknown"},
        {68 << 8, false, "host unknown"},
        {69 << 8, false, "service unavailable"},
        {70 << 8, false, "internal software error"},
        {75 << 8, false, "temporary failure"},
        {77 << 8, false, "no permission"},
        {1 << 8, false, "exit code 1"},
        {1 << 8, true, std::nullopt},
        {(128 + EACCES) << 8, true, "File system error: Permission denied"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Mailer::failureText(c.waitStatus, c.ignore), c.text) << c.waitStatus;
}

TEST_F(SendTest, FullDiskKeepsTheMessage) {
    SendServices services(mailContext(), real.launcher);
    std::string tempFile;
    services.writeFile = [&](int fd, std::string_view) {
        tempFile = test::commandOutput("readlink /proc/" + std::to_string(::getpid()) + "/fd/" +
                                       std::to_string(fd));
        return ENOSPC;
    };
    freshSend(services);
    panels->answer(0);
    panels->answer(0);
    EXPECT_FALSE(send->deliver());
    ASSERT_EQ(panels->alerts().size(), 2u);
    EXPECT_NE(panels->alerts()[0].message.find("No space left on device"), std::string::npos);
    EXPECT_EQ(lastAlert(), "Unable to deliver message");
    EXPECT_FALSE(mailerRan());
    EXPECT_EQ(send->text().plainText(), "Body text.\n");
    ASSERT_TRUE(tempFile.starts_with("/tmp/Quill-")) << tempFile;
    tempFile.pop_back();
    EXPECT_NE(::access(tempFile.c_str(), F_OK), 0);
}

TEST_F(SendTest, SizeLimitAsksAboveTheLimitOnly) {
    send->setArchive(false);
    Defaults::shared().setSendSizeLimit(0);
    ASSERT_TRUE(deliverAndWait());
    // Pad the body in short lines (nothing to wrap) to exactly 2 KB, then one byte more.
    size_t base = recorded("input").size();
    for (size_t extra : {0, 1}) {
        std::string padding;
        for (size_t n = 2048 - base + extra; n > 0; n -= std::min<size_t>(n, 10))
            padding += n >= 10 ? "xxxxxxxxx\n" : std::string(n, 'x');
        freshSend();
        Defaults::shared().setSendSizeLimit(2);
        send->setArchive(false);
        send->text().setSel(0, 0);
        send->text().replaceSel(padding);
        if (extra) panels->answer("Cancel");
        EXPECT_EQ(send->deliver(), extra == 0);
        if (extra) {
            EXPECT_EQ(lastAlert(),
                      "Your message is larger than the recommended maximum size (3KB vs 2KB).  It "
                      "may be rejected by the network software if you try to send it anyway.");
            EXPECT_FALSE(mailerRan());
        }
        test::serveUntil([&] { return extra || view.closed; });
    }
}

TEST_F(SendTest, ArchiveCopyPrecedesTheMailer) {
    setExit(75);
    panels->answer(0);
    ASSERT_TRUE(deliverAndWait());
    EXPECT_NE(slurp(mailDir() + "/Outgoing.mbox/mbox").find("Subject: Hello\n"), std::string::npos);
    // Control held: no copy this time, and the switch stays on.
    ::unlink((mailDir() + "/Outgoing.mbox/mbox").c_str());
    setExit(0);
    send->deliverAction(false);
    test::serveUntil([&] { return view.closed; });
    EXPECT_TRUE(send->archive());
    EXPECT_EQ(slurp(mailDir() + "/Outgoing.mbox/mbox"), "");
}

TEST_F(SendTest, InterruptAskedBeforeAndAfterTheArchive) {
    for (int interruptAt : {1, 2}) {
        SendServices services(mailContext(), real.launcher);
        int peeks = 0;
        services.interruptRequested = [&] { return ++peeks == interruptAt; };
        freshSend(services);
        send->setArchive(false);
        panels->answer("Cancel");
        EXPECT_FALSE(send->deliver());
        EXPECT_EQ(lastAlert(), "Delivery was interrupted.");
        EXPECT_EQ(peeks, interruptAt);
        EXPECT_FALSE(mailerRan());
    }
}

TEST_F(SendTest, ArchiveFailureMayCancel) {
    spit(mailDir() + "/Outgoing.mbox", "a file, not a mailbox");
    panels->answer(0);  // the old-format complaint
    panels->answer("Cancel");
    EXPECT_FALSE(send->deliver());
    EXPECT_EQ(lastAlert(), "Unable to archive this message");
    EXPECT_FALSE(mailerRan());
}

TEST_F(SendTest, DraftKeepsBccUnderItsOwnKey) {
    send->setField(kFieldBcc, "hidden@x");
    send->nowEditing();
    ASSERT_TRUE(send->saveDraft());
    std::string mbox = slurp(mailDir() + "/Drafts.mbox/mbox");
    EXPECT_NE(mbox.find("\nbcc: hidden@x\n"), std::string::npos) << mbox;
    EXPECT_FALSE(send->editing());
    EXPECT_EQ(view.titles.back(), "Compose - Hello");
    EXPECT_NE(std::find(view.titles.begin(), view.titles.end(), "saving: Drafts.mbox - Hello"),
              view.titles.end());
    EXPECT_FALSE(mailerRan());
}

TEST_F(SendTest, TitleAndSizeDisplay) {
    send->setField(kFieldSubject, std::string(2000, 's'));
    EXPECT_EQ(send->title().size(), 1020u);
    EXPECT_TRUE(send->title().starts_with("Compose - sss"));
    struct Case {
        long long bytes;
        const char* text;
    } cases[] = {{9999, "9999 bytes"}, {10000, "10KB"}, {10241, "11KB"}, {1048576, "1.0MB"}};
    for (const Case& c : cases) EXPECT_EQ(Send::sizeText(c.bytes), c.text);
}

TEST_F(SendTest, PlainFormatAndBackKeepsAttachmentsUntilEdited) {
    spit(tmp() + "/photo.jpg", "jpeg");
    int mime = 1;
    send->setSendFormat(mime);
    send->text().replaceSelWithFile(tmp() + "/photo.jpg");
    for (bool editBetween : {false, true}) {
        send->setSendFormat(kPlainFormat);
        EXPECT_FALSE(send->text().hasGraphics());
        if (editBetween) send->nowEditing();
        send->setSendFormat(mime);
        EXPECT_EQ(send->text().hasGraphics(), !editBetween);
    }
}

TEST_F(SendTest, ReadReceiptGoesToTheSenderAlone) {
    std::tm date{};
    date.tm_year = 126;
    date.tm_mday = 6;
    EXPECT_NE(ReadReceipt::text("Lunch", date, "Joe <joe@x>", date)
                  .find("To: Joe <joe@x>\nSubject: Read Receipt\nReceived: by Zell.Mailer ("),
              std::string::npos);
    EXPECT_NE(ReadReceipt::text(std::nullopt, date, "joe@x", date).find("\nYour message of "),
              std::string::npos);
    ASSERT_TRUE(ReadReceipt::send("Lunch", date, "Joe <joe@x>", real.launcher, Defaults::shared(),
                                  *panels));
    ASSERT_TRUE(test::serveUntil([&] { return mailerRan(); }));
    EXPECT_EQ(recorded("argv"), mailer + "\n-oi\n-odb\njoe@x\n");
    EXPECT_NE(recorded("input").find("\nYour message regarding \"Lunch\" of  \n"),
              std::string::npos);
}

}  // namespace
}  // namespace quill

#include "NewMailTest.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "base/FileHandles.h"
#include "newmail/Incorporation.h"
#include "newmail/SpoolLock.h"
#include "process/ProcessLauncher.h"
#include "store/MailBox.h"

namespace quill::test {

void NewMailTest::SetUp() {
    QuillTest::SetUp();
    ::mkdir((tmp() + "/run").c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", (tmp() + "/run").c_str(), 1);
    ASSERT_TRUE(makeMailbox(activeDir()).ok());
    ASSERT_EQ(::access(fetchProgram().c_str(), X_OK), 0)
        << "build QuillFetch (and decode, safetar, quilltool) before test_newmail";
}

void NewMailTest::TearDown() {
    ::unsetenv("XDG_RUNTIME_DIR");
    QuillTest::TearDown();
}

std::string NewMailTest::message(int n) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "From sender%d@example.com Sun Dec  6 04:00:00 2026\n"
                  "From: Sender %d <sender%d@example.com>\nSubject: message %d\n"
                  "Message-ID: <%d@example.com>\n\nbody of message %d\n\n",
                  n, n, n, n, n, n);
    return text;
}

void NewMailTest::deliver(int first, int last) {
    auto lock = SpoolLock::lock(spool(), std::chrono::seconds(60), processLauncher());
    ASSERT_TRUE(lock);
    std::string bytes;
    for (int n = first; n < last; ++n) bytes += message(n);
    ASSERT_EQ(::lseek(lock->fd(), 0, SEEK_END) >= 0, true);
    ASSERT_TRUE(writeAll(lock->fd(), bytes));
}

pid_t NewMailTest::startFetch(const std::string& port, long dieAfter) {
    std::string program = fetchProgram(), spoolPath = spool(), dir = activeDir();
    LaunchRequest request;
    request.argv = {program, spoolPath, "tester", "", port};
    request.environment = {"QUILL_FETCH_DIE_AFTER=" + std::to_string(dieAfter)};
    request.directory = dir;
    return processLauncher().launch(request).pid;
}

int NewMailTest::runFetch(const std::string& port, long dieAfter) {
    return processLauncher().wait(startFetch(port, dieAfter));
}

std::map<int, int> NewMailTest::countMessages(const std::string& text) {
    std::map<int, int> counts;
    const std::string key = "\nSubject: message ";
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        ++counts[std::atoi(text.c_str() + at + key.size())];
    }
    return counts;
}

int NewMailTest::incorporate() {
    std::unique_ptr<MailBox> box = MailBox::newMailBox(activeDir(), mailContext());
    if (!box) return -1;
    // As Quill does after a crash: only fetched mail that is there is taken in.
    if (!Incorporation::incomingIdle(activeDir())) return static_cast<int>(box->toc().length());
    bool atStart = true;
    Incorporation::incorporateMailAtStart(*box, &atStart);
    return static_cast<int>(box->toc().length());
}

}  // namespace quill::test

// The fixture of the new-mail tests: a private port directory, the active
// mailbox directory, a spool in the fixture's spool directory, numbered
// messages that can be counted in the mailbox afterwards, and the fetch
// program run as Quill runs it.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "support/QuillTest.h"

namespace quill::test {

class NewMailTest : public QuillTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string activeDir() const { return mailDir() + "/Active.mbox"; }
    std::string spool() const { return spoolDir() + "/tester"; }
    static std::string message(int n);
    // Appends messages first..last-1 to the spool under the delivery agents' locks.
    void deliver(int first, int last);
    // Starts QuillFetch in the active mailbox; `dieAfter` > 0 makes it die by
    // SIGKILL after that many steps. Answers the pid.
    pid_t startFetch(const std::string& port, long dieAfter = 0);
    // Runs it to its end; answers the wait status.
    int runFetch(const std::string& port = "NoPort", long dieAfter = 0);
    // How often each numbered message occurs in the text.
    static std::map<int, int> countMessages(const std::string& text);
    // Incorporates the fetched mail, when there is any, into the mailbox;
    // answers the index count after it.
    int incorporate();
    std::string fetchProgram() const { return std::string(QUILL_BIN_DIR) + "/QuillFetch"; }
};

}  // namespace quill::test

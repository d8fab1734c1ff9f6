// QuillFetch: moves the user's spool into the active mailbox directory as
// "Incoming_Mail" and "Incoming_Table_of_Contents" and tells Quill how it went.
//
//   QuillFetch SPOOL LOGIN HOST PORT [MAILBOX]
//   QuillFetch --look-up LOGIN      (exit 0 when a fetch for LOGIN runs here)
//
// Run locally (HOST empty) it works in the current directory, the active
// mailbox; run on another host through the remote shell it is given the
// mailbox path and writes its reports to standard output instead, one line
// "QuillFetch ID VALUE ERROR" each, for the remote shell to carry back.
// Locally reports go to the port registered as PORT: 1004 started, 1003
// messages taken in, 1000 done with a result code and an errno. While it runs it
// holds the name "QuillFetch for LOGIN", so that only one fetch runs.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/Diagnostics.h"
#include "newmail/IncomingFiles.h"
#include "newmail/SpoolFetcher.h"
#include "platform/NameService.h"
#include "process/ProcessLauncher.h"
#include "qtcore/QSettingsDefaultsStore.h"
#include "settings/Defaults.h"

namespace {

// QUILL_FETCH_DIE_AFTER=N: die by SIGKILL after the Nth step that leaves
// something on disk, as a crash would. For the tests of recovery.
long g_dieAfter = 0;
void countStep() {
    if (--g_dieAfter == 0) ::raise(SIGKILL);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quill;
    if (const char* n = std::getenv("QUILL_FETCH_DIE_AFTER")) {
        g_dieAfter = std::strtol(n, nullptr, 10);
        if (g_dieAfter > 0) setFetchStepHook(countStep);
    }
    if (argc == 3 && std::strcmp(argv[1], "--look-up") == 0) {
        return NameService::lookUp(std::string("QuillFetch for ") + argv[2]) ? 0 : 1;
    }
    if (argc < 5) {
        std::fputs("usage: QuillFetch SPOOL LOGIN HOST PORT [MAILBOX]\n", stderr);
        return 2;
    }
    std::string spool = argv[1], login = argv[2], host = argv[3], port = argv[4];
    if (argc > 5 && ::chdir(argv[5]) != 0) {
        std::perror(argv[5]);
        NameService::send(port, kFetchDoneMsg, NameService::words(kFetchIncomingOpen, errno));
        return 1;
    }
    // The records it prepares carry the priority Quill's own index would give.
    Defaults::shared().setStore(std::make_shared<QSettingsDefaultsStore>());
    bool remote = !host.empty();
    UniqueFd service = NameService::checkIn("QuillFetch for " + login);
    SpoolFetcher fetcher(".", spool, processLauncher(),
                         [&](int msgid, std::int32_t value, std::int32_t error) {
                             // The port of a Quill on another host is out of reach: the remote
                             // shell carries the reports back instead.
                             if (remote) {
                                 std::printf("QuillFetch %d %d %d\n", msgid, value, error);
                                 std::fflush(stdout);
                             } else {
                                 NameService::send(port, msgid, NameService::words(value, error));
                             }
                         });
    fetcher.setScanSettings(scanSettingsFrom(Defaults::shared(), true));
    int code = fetcher.run();
    if (service) NameService::checkOut("QuillFetch for " + login);
    return code == kFetchDone ? 0 : 1;
}

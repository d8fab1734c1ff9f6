// SpoolFetcher: what the fetch program does. It moves the spool into the
// active mailbox directory's "Incoming_Mail" and "Incoming_Table_of_Contents"
// so that no message is ever lost or taken twice, whenever the program dies:
//
//   1. Lock "Incoming_Mail" and cut both files back to their last commit.
//   2. With the spool locked, copy it into "Copy_of_Spoolfile", sync the copy
//      and only then empty the spool. A copy that the spool still begins with
//      was never committed (the spool was not emptied) and is dropped.
//   3. Unpack attachments, index the copy and commit it (IncomingFiles), then
//      remove the copy; the commit names the copy, so this happens once.
//
// Progress is reported with the ids of the fetch port: 1004 started, 1003 the
// number of messages taken in, 1000 done with a result code and an errno.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "store/MboxScanner.h"

namespace quill {

class ProcessLauncher;

class IncomingFiles;
class SpoolLock;

enum FetchResult : int {
    kFetchDone = 0,
    kFetchIncomingOpen = 1,
    kFetchIncomingWrite = 2,
    kFetchSpoolLock = 4,
    kFetchSpoolRead = 5,
    kFetchCopyWrite = 6,
    kFetchSpoolTruncate = 8,
    kFetchFilter = 10,
};

inline constexpr int kFetchStartedMsg = 1004;
inline constexpr int kFetchProgressMsg = 1003;
inline constexpr int kFetchDoneMsg = 1000;

class SpoolFetcher {
  public:
    using Report = std::function<void(int msgid, std::int32_t value, std::int32_t error)>;

    // The spool's dot-lock helper, when needed, is started through `launcher`.
    SpoolFetcher(std::string mailboxDir, std::string spool, ProcessLauncher& launcher,
                 Report report);
    // How long a busy spool is waited for before giving up.
    void setPatience(std::chrono::milliseconds patience) { m_patience = patience; }
    // How the fetched mail is indexed ("PriorityHeader" and its values).
    void setScanSettings(ScanSettings scan) { m_scan = std::move(scan); }
    // Runs the whole fetch; answers the result code it reported with 1000.
    int run();

  private:
    int fetch(IncomingFiles& incoming);
    int copySpool(SpoolLock& lock);
    int takeInCopy(IncomingFiles& incoming);
    bool dropUncommittedCopy(SpoolLock& lock);
    int fail(int code);

    std::string m_dir;
    std::string m_spool;
    std::string m_copy;
    ProcessLauncher& m_launcher;
    Report m_report;
    ScanSettings m_scan;
    std::chrono::milliseconds m_patience{std::chrono::minutes(10)};
    int m_errno = 0;
};

}  // namespace quill

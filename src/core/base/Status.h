// Status: how an operation of the lower layers ended. A failure names what
// failed (a file operation, or a condition of the mail store), the path it
// concerned and the system's errno; what the user is told is decided by the
// command layer. A default Status is success.
#pragma once

#include <cerrno>
#include <string>

namespace quill {

// Operation codes of file failures; each names the verb of the failed call.
enum FileOperation : int {
    kFileOpen = 0,
    kFileClose = 1,
    kFileWrite = 2,
    kFileRead = 3,
    kFileUnlink = 4,
    kFileStat = 5,
    kFileLock = 6,
    kFileFlush = 7,
    kFileSync = 8,
    kFileTruncate = 9,
    kFileCreate = 10,
    kFileExecute = 11,
};

class Status {
  public:
    enum Kind : int {
        kOk,
        kFileFailed,        // `operation` on `path` failed with `errnum`
        kOldFormat,         // `path` is a plain file, not a mailbox directory
        kInUse,             // another reader holds the record lock of `path`
        kMailNotAppended,   // "mbox" at `path` did not grow when mail was appended
        kIndexNotUpgraded,  // the index of mailbox `path` kept its old records
        kNoNewMail,         // the spool `path` was empty
        kOpenedReadOnly,    // not a failure: mailbox `path` could be opened for reading only
        kCancelled,         // the user stopped the work on `path`; nothing changed
        kMailboxChanged,    // "mbox" at `path` changed while it was being compacted
        kNotCopied,         // the attachment directory `path` could not be copied
        kStillOpening,      // the window of mailbox `path` is still rebuilding its index
    };

    Status() = default;
    static Status fileFailure(int operation, std::string path, int errnum = errno);
    static Status failure(Kind kind, std::string path, int errnum = 0);

    bool ok() const { return m_kind == kOk; }
    Kind kind() const { return m_kind; }
    int operation() const { return m_operation; }
    const std::string& path() const { return m_path; }
    int errnum() const { return m_errnum; }
    // One short line for logs and tools, e.g. "open /m/A.mbox/mbox: Permission denied".
    std::string message() const;

    // The English verb of an operation code; unknown codes read "access".
    static const char* verb(int operation);

  private:
    Kind m_kind = kOk;
    int m_operation = -1;
    std::string m_path;
    int m_errnum = 0;
};

}  // namespace quill

// Error: the one shared reporter of file-system failures. It shows the alert
// titled "File system error" with the verb of the failed operation, the path
// and, when the system gave a reason, the system's text for it.
#pragma once

#include <cerrno>
#include <string>

namespace quill {

// Operation codes of badFile; each names the verb shown to the user.
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

class Error {
  public:
    static Error& shared();

    // "Unable to <verb> <path>. " plus the system's reason; shown as an alert.
    void badFile(const std::string& path, int operation, int errnum = errno);
    // "Unable to open directory: <path>. " plus the system's reason.
    void badDir(const std::string& path, int errnum = errno);

    // The texts the alerts show, for callers that put them elsewhere.
    static std::string fileErrorMessage(const std::string& path, int operation, int errnum);
    static std::string dirErrorMessage(const std::string& path, int errnum);
    // Appends " File system error: <reason>" when errnum is set.
    static std::string appendFileError(const std::string& message, int errnum);
    // The localized verb of an operation code; unknown codes read "access".
    static std::string verb(int operation);

  private:
    Error() = default;
    void show(const std::string& message);
};

}  // namespace quill

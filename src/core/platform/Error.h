// Error: the one shared reporter of file-system failures. It shows the alert
// titled "File system error" with the verb of the failed operation, the path
// and, when the system gave a reason, the system's text for it.
#pragma once

#include <cerrno>
#include <string>

#include "base/Status.h"

namespace quill {

class Panels;

class Error {
  public:
    static Error& shared();

    // "Unable to <verb> <path>. " plus the system's reason; shown as an alert.
    void badFile(const std::string& path, int operation, int errnum = errno);
    // "Unable to open directory: <path>. " plus the system's reason.
    void badDir(const std::string& path, int errnum = errno);
    // The alert of a failed file operation on the given panels; other
    // failures are the command layer's to tell.
    static void badFile(Panels& panels, const Status& status);

    // The texts the alerts show, for callers that put them elsewhere.
    static std::string fileErrorMessage(const std::string& path, int operation, int errnum);
    static std::string dirErrorMessage(const std::string& path, int errnum);
    // Appends " File system error: <reason>" when errnum is set.
    static std::string appendFileError(const std::string& message, int errnum);
    // The localized verb of an operation code; unknown codes read "access".
    static std::string verb(int operation);

  private:
    Error() = default;
    static void show(Panels& panels, const std::string& message);
};

}  // namespace quill

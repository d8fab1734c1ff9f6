#include "platform/Error.h"

#include <cstring>

#include "base/Diagnostics.h"
#include "platform/Localized.h"
#include "platform/Panels.h"

namespace quill {

Error& Error::shared() {
    static Error instance;
    return instance;
}

std::string Error::verb(int operation) {
    return localized(kFileSystemErrorTable, Status::verb(operation));
}

std::string Error::appendFileError(const std::string& message, int errnum) {
    if (errnum == 0) return message;
    return message + localized(kFileSystemErrorTable, " File system error: ") +
           std::strerror(errnum);
}

std::string Error::fileErrorMessage(const std::string& path, int operation, int errnum) {
    std::string format = localized(kFileSystemErrorTable, "Unable to %s %s. ");
    return appendFileError(formatString(format.c_str(), verb(operation).c_str(), path.c_str()),
                           errnum);
}

std::string Error::dirErrorMessage(const std::string& path, int errnum) {
    std::string format = localized(kFileSystemErrorTable, "Unable to open directory: %s. ");
    return appendFileError(formatString(format.c_str(), path.c_str()), errnum);
}

void Error::badFile(const std::string& path, int operation, int errnum) {
    show(panels(), fileErrorMessage(path, operation, errnum));
}

void Error::badFile(Panels& panels, const Status& status) {
    show(panels, fileErrorMessage(status.path(), status.operation(), status.errnum()));
}

void Error::badDir(const std::string& path, int errnum) {
    show(panels(), dirErrorMessage(path, errnum));
}

void Error::show(Panels& panels, const std::string& message) {
    // The message is already filled; pass it through "%s" so a '%' in a path stays literal.
    runAlert(panels, "File system error", "%s", "OK", nullptr, nullptr, message.c_str());
}

}  // namespace quill

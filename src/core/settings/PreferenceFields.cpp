#include "settings/PreferenceFields.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "base/ascii.h"
#include "platform/Panels.h"
#include "platform/UserInfo.h"

namespace quill {
namespace {

bool warnUnless(bool ok, const char* format, const std::string& value) {
    if (!ok) runAlert("Preferences", format, "OK", nullptr, nullptr, value.c_str());
    return ok;
}

}  // namespace

bool isFullAccessDirectory(const std::string& path) {
    std::string p = expandTilde(path);
    struct stat st;
    return !p.empty() && ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(p.c_str(), R_OK | W_OK | X_OK) == 0;
}

bool isExecutableFile(const std::string& path) {
    std::string p = expandTilde(path);
    struct stat st;
    return !p.empty() && ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(p.c_str(), X_OK) == 0;
}

bool checkMailboxesDirectoryField(const std::string& path) {
    return warnUnless(isFullAccessDirectory(path),
                      "Warning: The mailboxes directory %s either doesn't exist or you don't "
                      "have full access to it.",
                      path);
}

bool checkSpoolDirectoryField(const std::string& path) {
    return warnUnless(isFullAccessDirectory(path),
                      "Warning: The spool directory %s either doesn't exist or you don't have "
                      "full access to it.",
                      path);
}

bool checkMailerField(const std::string& path) {
    return warnUnless(isExecutableFile(path),
                      "Warning: The mailer %s either doesn't exist or you don't have access to it.",
                      path);
}

int readNumericField(const std::string& text) {
    size_t i = 0;
    if (text.empty() || !isDigit(text[0])) {
        runAlert("Preferences", "Warning: The value in this field must be numeric.", "OK", nullptr,
                 nullptr);
        while (i < text.size() && !isDigit(text[i])) ++i;
    }
    return std::atoi(text.c_str() + i);
}

UnappliedChangesAnswer askAboutUnappliedChanges() {
    int answer = runAlert("Preferences",
                          "You have made changes to your preferences, but not yet applied them.  "
                          "Do you want to set them now or revert back to their old settings?",
                          "Set", "Revert", "Cancel");
    if (answer == kAlertDefault) return UnappliedChangesAnswer::Set;
    if (answer == kAlertAlternate) return UnappliedChangesAnswer::Revert;
    return UnappliedChangesAnswer::Cancel;
}

void noteMailDirRestart() {
    runAlert("Preferences",
             "Note: Changes to the Mail Directory won't take effect until you restart Quill.app.",
             "OK", nullptr, nullptr);
}

}  // namespace quill

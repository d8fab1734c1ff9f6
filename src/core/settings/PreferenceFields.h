// Checks of the Preferences window's fields. Each check that fails shows its
// warning under the title "Preferences"; the window keeps the field's text.
#pragma once

#include <string>

namespace quill {

// A directory the user may read, write and search.
bool isFullAccessDirectory(const std::string& path);
// A regular file the user may execute.
bool isExecutableFile(const std::string& path);

bool checkMailboxesDirectoryField(const std::string& path);
bool checkSpoolDirectoryField(const std::string& path);
bool checkMailerField(const std::string& path);

// A numeric field's value: when the text does not begin with a digit the user
// is warned and the non-digits before the first digit are skipped (0 when none).
int readNumericField(const std::string& text);

// Asked before the window closes with unapplied changes.
enum class UnappliedChangesAnswer { Set, Revert, Cancel };
UnappliedChangesAnswer askAboutUnappliedChanges();
// Told when the mail directory changes.
void noteMailDirRestart();

}  // namespace quill

// Where Quill finds its resources and helper programs, and how a mailbox path
// is shown by name.
#pragma once

#include <string>

namespace quill {

// The path of a resource (a data file or a helper program) named name. Looked
// for in $QUILL_RESOURCE_DIR, then the installed "share/quill" and
// "libexec/quill" beside the program, then the program's own directory (helpers built beside it),
// then the source tree's "resources". Answers the first candidate when none exists.
std::string getResourceDir(const std::string& name);

// The directory the running program was started from ("" when unknown).
std::string programDirectory();

// "Mail/Lists/quill.mbox" → "quill": the last path component without ".mbox".
std::string getShortName(const std::string& path);

// A helper-program setting: a value not starting with "/" names a resource.
std::string resolveHelperProgram(const std::string& configured);

}  // namespace quill

// The attachment directories of a mailbox as messages move: unique names in
// the target and the "Zell-Reference:" line that names the directory.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quill {

class ProcessLauncher;

// The extension of the last path component, from its last "." (at most 1023
// bytes); empty when there is none.
std::string getExtension(std::string_view path);
// Makes a directory path name nothing that exists: a trailing "_" and digits
// before the extension are dropped and "_<microseconds>" put there instead,
// up to 100 times.
void getUniqueDir(std::string& path);
// The last path component.
std::string_view basename(std::string_view path);

// Renames the attachment directory a message's "Zell-Reference:" line names:
// " <name>[, E], 1/1" is written just after "Zell-Reference:". When that fits
// in the line the rest of the line stays as it was; otherwise the line is
// replaced by the new text, so the rewrite never runs into the next line.
// `message` is one message in mailbox form; false when it has no such line.
bool rewriteReference(std::string& message, std::size_t from, std::size_t to,
                      const std::string& name, bool encrypt);

// Copies directory `from` to the new directory `to` as "/usr/bin/find . -depth
// -print | /usr/bin/cpio -pdl TO" run in `from` (files are linked where the
// file system allows), waiting for both. On failure `to` is removed again.
bool copyAttachmentDirectory(ProcessLauncher& launcher, const std::string& from,
                             const std::string& to);
// Starts "/bin/rm -rf" with the names in mailbox directory `dir` and leaves it
// to the child-exit watch. Only plain names are passed: none with a "/", none
// that is "." or "..", and one starting with "-" as "./NAME".
void removeAttachmentDirectories(ProcessLauncher& launcher, const std::string& dir,
                                 const std::vector<std::string>& names);

}  // namespace quill

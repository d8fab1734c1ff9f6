// AppendJournal: the marks that make appending to a mailbox, and moving
// messages between two mailboxes, all or nothing across a crash.
//
// Before anything is appended, the target directory receives "Pending_Append"
// (the length of "mbox" before and after the append, and for a transfer the
// source directory and the offset and length of each moved message); for a
// transfer the source directory first receives "Pending_Transfer", naming the
// target. Both are written whole and synced before the append starts. Then the
// bytes are appended and synced, the moved messages are marked deleted in the
// source, and the marks are removed: "Pending_Transfer" first.
//
// Opening either mailbox runs recover(): "mbox" of the target at its new
// length means the append finished, and the moved messages are marked deleted
// in the source's index (again, if the crash came after some were); any other
// length means it did not, and "mbox" is cut back to its old length. So a
// moved message is afterwards in exactly one of the two mailboxes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/Status.h"

namespace quill {

class AppendJournal {
  public:
    struct Moved {
        std::int32_t offset;
        std::int32_t length;
    };

    // Records the coming append of newLength - oldLength bytes to the "mbox"
    // of targetDir; sourceDir is empty unless messages move from there.
    static Status begin(const std::string& targetDir, off_t oldLength, off_t newLength,
                        const std::string& sourceDir, const std::vector<Moved>& moved);
    // The append and the source's marks are in place: removes the marks.
    static Status end(const std::string& targetDir, const std::string& sourceDir);
    // Finishes or undoes an append a crash interrupted that involves the
    // mailbox directory `dir`, as target or as source.
    static Status recover(const std::string& dir);

  private:
    static Status recoverAppend(const std::string& targetDir);
    static Status markMoved(const std::string& sourceDir, const std::vector<Moved>& moved);
};

}  // namespace quill

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
// length means the append finished, and the moved messages are listed in the
// source's "Pending_Deletions", whose marks its opening sets once the index is
// loaded (again, if the crash came after some were, and after a rebuild that
// lost them); any other length means it did not, and "mbox" is cut back to its
// old length. So a moved message is afterwards in exactly one of the two
// mailboxes. Recovery writes to the other mailbox of a transfer only under
// that mailbox's ".lock"; while another program holds it, nothing is done.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/Status.h"

namespace quill {

class Toc;

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
    // mailbox directory `dir` (whose lock the caller holds), as target or as
    // source. A Status of kind kInUse names the other mailbox when another
    // program holds it: the journal is left for the next opening.
    static Status recover(const std::string& dir);
    // Marks deleted the messages of `toc` (the loaded index of mailbox `dir`)
    // that recovery moved out, and drops the list.
    static Status applyDeletions(const std::string& dir, Toc& toc);

  private:
    static Status recoverAppend(const std::string& targetDir, const std::string& opening);
    static Status markMoved(const std::string& sourceDir, const std::vector<Moved>& moved);
};

}  // namespace quill

// Compaction: squeezes the deleted messages out of "mbox" and
// "table_of_contents". The kept messages are copied into "mbox.new" and the
// kept records, with their new offsets, into "table_of_contents.new"; both are
// synced and then renamed over the old files, "mbox" first. That rename is the
// moment the compaction happens: a crash before it leaves the old files (the
// opening of the mailbox removes the side files), a crash after it leaves
// "table_of_contents.new" without "mbox.new", which the opening renames into
// place. Copying "mbox" is the long part; it touches nothing the open mailbox
// holds, so it may run on another thread while the window stays live.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Status.h"

namespace quill {

class Toc;

class Compaction {
  public:
    // Takes the deletion state, the kept byte ranges of "mbox" and the
    // attachment directories of the deleted messages from the open index.
    Compaction(const std::string& mailboxDir, const Toc& toc);

    bool anythingDeleted() const { return m_deletedCount > 0; }
    // Bytes "mbox.new" will hold.
    off_t newSize() const { return m_newSize; }
    // Writes and syncs "mbox.new". Safe on any thread. `progress` gets the
    // fraction done and answers false to stop (a kCancelled status). On any
    // failure the side file is gone and the mailbox is as it was.
    Status writeMailFile(const std::function<bool(double)>& progress);
    // Main thread, after writeMailFile: writes the new index from the index
    // file as it is now (status changes made meanwhile are kept) and renames
    // both files into place. A failure before the rename of "mbox" leaves the
    // old files.
    Status commit(const Toc& toc);
    // Removes the side files; the mailbox stays as it was.
    void abandon();
    // The attachment directory names of the deleted messages.
    const std::vector<std::string>& deletedAttachments() const { return m_attachments; }

    // Finishes or forgets a compaction a crash interrupted in mailbox `dir`.
    static Status recover(const std::string& dir);

  private:
    struct Run {
        off_t from;
        off_t count;
    };
    std::string buildIndex(const std::string& old, const Toc& toc, std::int32_t mailTime) const;

    std::string m_mailFile;
    std::string m_tocFile;
    std::vector<bool> m_deleted;
    std::vector<std::int32_t> m_newOffsets;
    std::vector<Run> m_runs;
    std::vector<std::string> m_attachments;
    std::uint32_t m_deletedCount = 0;
    off_t m_oldSize = 0;
    off_t m_newSize = 0;
    mode_t m_mode = 0644;
    std::int32_t m_newTime = 0;
};

}  // namespace quill

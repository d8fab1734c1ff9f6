// IncomingFiles: the fetched mail waiting in the active mailbox directory,
// "Incoming_Mail" (messages in mailbox form) and "Incoming_Table_of_Contents"
// (a 32-byte header and one index record per message, status "*"), and the
// fetch program's working copy of the spool, "Copy_of_Spoolfile".
//
// The index file is the commit record: its header count says how many
// messages of "Incoming_Mail" are complete, and bytes beyond them are the
// remains of an interrupted write, cut off by repair(). The header also names
// the spool copy (inode and size) whose messages the last commit took in, so
// that the copy is removed exactly once even when the writer dies between
// committing and removing it:
//
//    0  u32  magic 890712        4  i32  record count
//    8  u64  inode of the spool copy taken in (0: none)
//   16  u64  its size
//   24  u64  1 + the length "mbox" had when incorporation began (0: none)
//
// The last word makes incorporation safe against its own death: mail that
// already stands at that place in "mbox" is not appended a second time.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileHandles.h"

namespace quill {

inline constexpr const char* kIncomingMail = "Incoming_Mail";
inline constexpr const char* kIncomingToc = "Incoming_Table_of_Contents";
inline constexpr const char* kSpoolCopy = "Copy_of_Spoolfile";

// The record lock that keeps the fetch program and incorporation apart: an
// open-file-description lock over the whole file (waiting when `wait`).
bool lockWholeFile(int fd, bool wait);
// fsync of a directory, so that creations and removals in it last.
bool syncDirectory(const std::string& dir);

// Called after every step of a fetch or an incorporation that leaves
// something on disk; crash tests die here on purpose, one step further each run.
void fetchStepDone();
void setFetchStepHook(void (*hook)());

class IncomingFiles {
  public:
    struct CopyMark {
        std::uint64_t inode = 0, size = 0;
    };

    explicit IncomingFiles(std::string dir) : m_dir(std::move(dir)) {}

    std::string path(const char* name) const { return m_dir + "/" + name; }

    // Opens (creating) both files and takes the lock on "Incoming_Mail",
    // waiting for whoever holds it when asked to. False with errno set (EAGAIN
    // when busy) when it cannot.
    bool open(bool wait = true);
    // Cuts both files back to their last complete commit.
    bool repair();
    // Removes the spool copy when the last commit took it in, and forgets the mark.
    bool settleCopy();
    // Appends messages (mailbox text) and their `count` records; the commit
    // marks `copy` as taken in.
    bool append(std::string_view mail, std::string_view records, int count, CopyMark copy);
    // Notes that the messages are being appended to an "mbox" of that length.
    bool markIncorporating(std::uint64_t mboxLength);
    // The "mbox" length an interrupted incorporation began at, if any.
    bool incorporatingAt(std::uint64_t& mboxLength) const;
    int count() const { return m_count; }
    std::uint64_t mailSize() const { return m_mailSize; }

    // The mark of the spool copy as it is now (inode 0 when there is none).
    static CopyMark copyMarkOf(const std::string& path);
    // settleCopy for a reader holding the lock: used by incorporation before
    // it removes the index file.
    static void settleCopyFromHeader(const std::string& dir, const char header[32]);

  private:
    bool writeHeader(CopyMark copy);

    std::string m_dir;
    UniqueFd m_mail;
    UniqueFd m_toc;
    int m_count = 0;
    std::uint64_t m_mailSize = 0;
    std::uint64_t m_tocSize = 32;
    CopyMark m_mark;
    std::uint64_t m_incorporating = 0;
};

}  // namespace quill

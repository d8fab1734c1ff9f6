// IncomingFiles: the fetched mail waiting in the active mailbox directory,
// "Incoming_Mail" (messages in mailbox form) and "Incoming_Table_of_Contents"
// (a 32-byte header and one index record per message, status "*"), and the
// fetch program's working copy of the spool, "Copy_of_Spoolfile".
//
// The index file follows the index header of "table_of_contents" only in
// its first eight bytes (magic, record count); other fetch programs leave
// bytes 8-31 without meaning. Quill's own writer keeps its crash-recovery
// marks there, behind a magic value that tells them apart from anything
// another writer leaves:
//
//    8  u64  mark magic "QuilMark"
//   16  u64  inode of the spool copy the last commit took in (0: none)
//   24  u32  its size (low 32 bits)
//   28  u32  1 + the length "mbox" had when incorporation began (0: none)
//
// With the marks, the header count is the commit record: bytes beyond the
// counted records are the remains of an interrupted write (their mail is
// still in the spool copy) and repair() cuts them off, and the copy is
// removed exactly once even when the writer dies between committing and
// removing it. The last word makes incorporation safe against its own death:
// mail that already stands at that place in "mbox" is not appended again.
//
// A file without the marks was written by another fetch program: nothing in
// "Incoming_Mail" is cut, every complete record counts, and when the records
// do not account for the mail exactly, the mail is indexed afresh.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/FileHandles.h"
#include "store/MboxScanner.h"

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

    // `scan` indexes mail a repair finds unaccounted for.
    IncomingFiles(std::string dir, ScanSettings scan)
        : m_dir(std::move(dir)), m_scan(std::move(scan)) {}

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

    // Index records (status "*") for mailbox text; text before the first
    // "From " line belongs to the first record, and text without any gets one
    // record, so that the records always account for every byte.
    static int indexMail(const std::string& dir, std::string_view mail, const ScanSettings& scan,
                         std::string& records);

  private:
    bool writeHeader(CopyMark copy);
    bool adoptForeign(const std::string& toc);
    bool rewriteToc(std::string_view records, int count);

    std::string m_dir;
    ScanSettings m_scan;
    UniqueFd m_mail;
    UniqueFd m_toc;
    int m_count = 0;
    std::uint64_t m_mailSize = 0;
    std::uint64_t m_tocSize = 32;
    CopyMark m_mark;
    std::uint64_t m_incorporating = 0;
};

}  // namespace quill

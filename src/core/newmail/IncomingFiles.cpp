#include "newmail/IncomingFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "message/date.h"
#include "settings/Defaults.h"
#include "store/MboxScanner.h"
#include "store/TocFormat.h"
#include "store/diskusage.h"

namespace quill {
namespace {

using namespace tocformat;

constexpr std::size_t kMarkMagicAt = 8;
constexpr std::size_t kMarkInode = 16;
constexpr std::size_t kMarkSize = 24;
constexpr std::size_t kIncorporating = 28;
constexpr std::uint64_t kMarkMagic = 0x5175696c4d61726bULL;  // "QuilMark"

bool hasMarks(const char* header) { return getU64(header + kMarkMagicAt) == kMarkMagic; }

IncomingFiles::CopyMark copyMarkIn(const char* header) {
    if (!hasMarks(header)) return {};
    return {getU64(header + kMarkInode), getU32(header + kMarkSize)};
}

void putMarks(char* header, IncomingFiles::CopyMark copy, std::uint64_t incorporating) {
    putU64(header + kMarkMagicAt, kMarkMagic);
    putU64(header + kMarkInode, copy.inode);
    putU32(header + kMarkSize, static_cast<std::uint32_t>(copy.size));
    putU32(header + kIncorporating, static_cast<std::uint32_t>(incorporating));
}

tocformat::Record wholeTextRecord(std::size_t length) {
    tocformat::Record r;
    r.length = static_cast<std::int32_t>(length);
    r.date = static_cast<std::uint32_t>(packedToday());
    r.status = MessageStatus::kNew;
    return r;
}

void measure(const std::string& dir, tocformat::Record& record) {
    struct stat st;
    std::int64_t bytes = 0;
    if (::stat(dir.c_str(), &st) != 0) {
        record.attachTime = -1;
        return;
    }
    record.attachTime = static_cast<std::int32_t>(st.st_mtime);
    if (diskUsage(dir, bytes)) record.attachSize = static_cast<std::int32_t>(bytes);
}

// Whether fd still is the file at path: incorporation removes the file it
// held locked, and a lock on a removed file guards nothing.
bool stillNamed(int fd, const std::string& path) {
    struct stat a, b;
    return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_ino == b.st_ino &&
           a.st_dev == b.st_dev;
}

void (*g_stepHook)() = nullptr;

}  // namespace

void fetchStepDone() {
    if (g_stepHook) g_stepHook();
}

void setFetchStepHook(void (*hook)()) { g_stepHook = hook; }

bool lockWholeFile(int fd, bool wait) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    int rc;
    do {
        rc = ::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool syncDirectory(const std::string& dir) {
    UniqueFd fd = openFile(dir, O_RDONLY | O_DIRECTORY);
    return fd && ::fsync(fd.get()) == 0;
}

bool IncomingFiles::open(bool wait) {
    std::string mail = path(kIncomingMail);
    for (;;) {
        m_mail = openFile(mail, O_RDWR | O_CREAT, 0644);
        if (!m_mail || !lockWholeFile(m_mail.get(), wait)) return false;
        if (stillNamed(m_mail.get(), mail)) break;
    }
    m_toc = openFile(path(kIncomingToc), O_RDWR | O_CREAT, 0644);
    return m_toc.valid();
}

bool IncomingFiles::repair() {
    std::string toc;
    ::lseek(m_toc.get(), 0, SEEK_SET);
    if (!readAll(m_toc.get(), toc)) return false;
    char header[kHeaderSize] = {};
    std::memcpy(header, toc.data(), std::min(toc.size(), kHeaderSize));
    // Quill's writer always leaves its marks; a whole header without them is
    // another writer's. A file too short for a header is the remains of
    // Quill's own work (an incorporation removes the index file first).
    if (toc.size() >= kHeaderSize && !hasMarks(header)) return adoptForeign(toc);
    std::int32_t claimed = getI32(header + kCountOffset);
    m_mark = copyMarkIn(header);
    m_incorporating = hasMarks(header) ? getU32(header + kIncorporating) : 0;
    std::uint64_t mailSize = fileSize(m_mail.get());
    std::size_t at = kHeaderSize;
    std::uint64_t sum = 0;
    int valid = 0;
    while (valid < claimed && at + kFixedSize <= toc.size()) {
        std::int32_t recordLength = getI32(toc.data() + at);
        std::int32_t length = getI32(toc.data() + at + kLengthOffset);
        if (recordLength < static_cast<std::int32_t>(kFixedSize) ||
            at + recordLength > toc.size() || length < 0 || sum + length > mailSize) {
            break;
        }
        sum += static_cast<std::uint64_t>(length);
        at += static_cast<std::size_t>(recordLength);
        ++valid;
    }
    m_count = valid;
    m_mailSize = sum;
    m_tocSize = at;
    if ((mailSize != sum && ::ftruncate(m_mail.get(), static_cast<off_t>(sum)) != 0) ||
        (toc.size() != at && ::ftruncate(m_toc.get(), static_cast<off_t>(at)) != 0)) {
        return false;
    }
    fetchStepDone();
    return (valid == claimed && toc.size() >= kHeaderSize) || writeHeader(m_mark);
}

// Another writer's files are taken as they stand: every complete record
// counts, whatever the header says, and nothing of "Incoming_Mail" is cut.
// Records that do not account for the mail exactly are made afresh from it.
bool IncomingFiles::adoptForeign(const std::string& toc) {
    std::uint64_t mailSize = fileSize(m_mail.get());
    std::size_t at = kHeaderSize;
    std::uint64_t sum = 0;
    int count = 0;
    while (at + kFixedSize <= toc.size()) {
        std::int32_t recordLength = getI32(toc.data() + at);
        std::int32_t length = getI32(toc.data() + at + kLengthOffset);
        if (recordLength < static_cast<std::int32_t>(kFixedSize) ||
            at + recordLength > toc.size() || length < 0) {
            break;
        }
        sum += static_cast<std::uint64_t>(length);
        at += static_cast<std::size_t>(recordLength);
        ++count;
    }
    m_mark = {};
    m_incorporating = 0;
    m_mailSize = mailSize;
    if (sum == mailSize) {
        return rewriteToc(std::string_view(toc).substr(kHeaderSize, at - kHeaderSize), count);
    }
    std::string mail, records;
    ::lseek(m_mail.get(), 0, SEEK_SET);
    if (!readAll(m_mail.get(), mail)) return false;
    count = indexMail(m_dir, mail, records);
    return rewriteToc(records, count);
}

// Records first, then the header with the marks: a death in between leaves
// a file without them, which the next repair adopts again.
bool IncomingFiles::rewriteToc(std::string_view records, int count) {
    if (!writeAllAt(m_toc.get(), records, kHeaderSize) ||
        ::ftruncate(m_toc.get(), static_cast<off_t>(kHeaderSize + records.size())) != 0) {
        return false;
    }
    m_count = count;
    m_tocSize = kHeaderSize + records.size();
    return writeHeader({});
}

int IncomingFiles::indexMail(const std::string& dir, std::string_view mail, std::string& records) {
    Defaults& defaults = Defaults::shared();
    MboxScanner scanner(mail,
                        ScanSettings{defaults.priorityHeader(), defaults.priorityValues(), true});
    int count = 0;
    ScannedMessage msg;
    bool more = scanner.seekFirst(0);
    while (more && scanner.next(msg)) {
        if (msg.hasReference) measure(dir + "/" + msg.record.reference, msg.record);
        if (count == 0) {
            msg.record.length += msg.record.offset;
            msg.record.offset = 0;
        }
        tocformat::appendRecord(records, msg.record);
        ++count;
    }
    if (count == 0 && !mail.empty()) {
        tocformat::appendRecord(records, wholeTextRecord(mail.size()));
        ++count;
    }
    return count;
}

bool IncomingFiles::settleCopy() {
    if (m_mark.inode == 0) return true;
    char header[kHeaderSize] = {};
    putMarks(header, m_mark, 0);
    settleCopyFromHeader(m_dir, header);
    return writeHeader({});
}

void IncomingFiles::settleCopyFromHeader(const std::string& dir, const char header[32]) {
    CopyMark mark = copyMarkIn(header);
    if (mark.inode == 0) return;
    std::string copy = dir + "/" + kSpoolCopy;
    CopyMark now = copyMarkOf(copy);
    if (now.inode == mark.inode && static_cast<std::uint32_t>(now.size) == mark.size) {
        ::unlink(copy.c_str());
        syncDirectory(dir);
        fetchStepDone();
    }
}

IncomingFiles::CopyMark IncomingFiles::copyMarkOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return {};
    return {static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_size)};
}

bool IncomingFiles::markIncorporating(std::uint64_t mboxLength) {
    m_incorporating = mboxLength + 1;
    return writeHeader(m_mark);
}

bool IncomingFiles::incorporatingAt(std::uint64_t& mboxLength) const {
    mboxLength = m_incorporating - 1;
    return m_incorporating != 0;
}

bool IncomingFiles::writeHeader(CopyMark copy) {
    char header[kHeaderSize] = {};
    putU32(header, kMagic);
    putU32(header + kCountOffset, static_cast<std::uint32_t>(m_count));
    putMarks(header, copy, m_incorporating);
    if (!writeAllAt(m_toc.get(), {header, kHeaderSize}, 0) || ::fsync(m_toc.get()) != 0)
        return false;
    fetchStepDone();
    m_mark = copy;
    return true;
}

// Messages first, then their records, then the header that makes them count:
// a death at any point leaves a state that repair() cuts back cleanly.
bool IncomingFiles::append(std::string_view mail, std::string_view records, int count,
                           CopyMark copy) {
    if (!writeAllAt(m_mail.get(), mail, static_cast<off_t>(m_mailSize)) ||
        ::fsync(m_mail.get()) != 0)
        return false;
    fetchStepDone();
    if (!writeAllAt(m_toc.get(), records, static_cast<off_t>(m_tocSize))) return false;
    fetchStepDone();
    int before = m_count;
    m_count += count;
    if (!writeHeader(copy)) {
        m_count = before;
        return false;
    }
    m_mailSize += mail.size();
    m_tocSize += records.size();
    return true;
}

}  // namespace quill

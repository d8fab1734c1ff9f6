#include "newmail/SpoolFetcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "newmail/IncomingFiles.h"
#include "newmail/SpoolLock.h"
#include "store/AttachmentFilter.h"
#include "store/MboxScanner.h"
#include "store/diskusage.h"

namespace quill {
namespace {

bool readBytes(int fd, std::uint64_t offset, std::size_t count, std::string& into) {
    into.resize(count);
    return readAllAt(fd, into.data(), count, static_cast<off_t>(offset));
}

}  // namespace

SpoolFetcher::SpoolFetcher(std::string mailboxDir, std::string spool, ProcessLauncher& launcher,
                           Report report)
    : m_dir(std::move(mailboxDir)),
      m_spool(std::move(spool)),
      m_copy(m_dir + "/" + kSpoolCopy),
      m_launcher(launcher),
      m_report(std::move(report)) {}

int SpoolFetcher::run() {
    m_report(kFetchStartedMsg, 0, 0);
    int code;
    {
        // The lock on "Incoming_Mail" goes before the report that invites Quill to take it.
        IncomingFiles incoming(m_dir, m_scan);
        code = incoming.open() ? fetch(incoming) : fail(kFetchIncomingOpen);
    }
    m_report(kFetchDoneMsg, code, code == kFetchDone ? 0 : m_errno);
    return code;
}

int SpoolFetcher::fail(int code) {
    m_errno = errno;
    return code;
}

int SpoolFetcher::fetch(IncomingFiles& incoming) {
    if (!incoming.repair() || !incoming.settleCopy()) return fail(kFetchIncomingWrite);
    std::unique_ptr<SpoolLock> lock = SpoolLock::lock(m_spool, m_patience, m_launcher);
    if (!lock) return fail(kFetchSpoolLock);
    fetchStepDone();
    if (!dropUncommittedCopy(*lock)) return fail(kFetchSpoolRead);
    if (IncomingFiles::copyMarkOf(m_copy).size > 0) {
        // Mail an earlier run took from the spool: into the mailbox first.
        lock.reset();
        if (int code = takeInCopy(incoming)) return code;
        lock = SpoolLock::lock(m_spool, m_patience, m_launcher);
        if (!lock) return fail(kFetchSpoolLock);
    }
    int code = copySpool(*lock);
    lock.reset();
    return code != kFetchDone ? code : takeInCopy(incoming);
}

// A copy the locked spool still begins with was made by a run that died
// before emptying the spool: the spool has all of it, so the copy goes.
bool SpoolFetcher::dropUncommittedCopy(SpoolLock& lock) {
    std::string copy;
    if (!readFile(m_copy, copy)) return errno == ENOENT;
    std::string head;
    if (copy.empty() || (fileSize(lock.fd()) >= copy.size() &&
                         readBytes(lock.fd(), 0, copy.size(), head) && head == copy)) {
        bool dropped = ::unlink(m_copy.c_str()) == 0 && syncDirectory(m_dir);
        fetchStepDone();
        return dropped;
    }
    return true;
}

// The spool is emptied only once every byte it held is in the synced copy.
int SpoolFetcher::copySpool(SpoolLock& lock) {
    std::uint64_t copied = 0;
    UniqueFd out;
    for (std::uint64_t size = fileSize(lock.fd()); size > copied; size = fileSize(lock.fd())) {
        if (!out) {
            out = openFile(m_copy, O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (!out) return fail(kFetchCopyWrite);
        }
        std::string bytes;
        if (!readBytes(lock.fd(), copied, static_cast<std::size_t>(size - copied), bytes)) {
            return fail(kFetchSpoolRead);
        }
        if (!writeAll(out.get(), bytes)) return fail(kFetchCopyWrite);
        fetchStepDone();
        copied = size;
    }
    if (!out) return kFetchDone;
    if (::fsync(out.get()) != 0 || out.close() != 0 || !syncDirectory(m_dir)) {
        return fail(kFetchCopyWrite);
    }
    fetchStepDone();
    if (::ftruncate(lock.fd(), 0) != 0 || ::fsync(lock.fd()) != 0) return fail(kFetchSpoolTruncate);
    fetchStepDone();
    return kFetchDone;
}

int SpoolFetcher::takeInCopy(IncomingFiles& incoming) {
    std::string copy;
    if (!readFile(m_copy, copy)) return errno == ENOENT ? kFetchDone : fail(kFetchSpoolRead);
    IncomingFiles::CopyMark mark = IncomingFiles::copyMarkOf(m_copy);
    std::size_t first = findFromLine("\n" + copy.substr(0, 4096), 0);
    std::string_view text(copy);
    if (first != std::string_view::npos) text.remove_prefix(first);
    std::string mail;
    if (!AttachmentFilter(m_dir).filterAttachments(text, mail)) {
        // Mail that cannot be filtered is still mail: it is kept as it came.
        logWarning("QuillFetch", "storing the spool copy unfiltered");
        mail.assign(text);
    }
    if (!mail.empty() && mail.back() != '\n') mail += '\n';
    fetchStepDone();
    std::string records;
    int count = IncomingFiles::indexMail(m_dir, mail, m_scan, records);
    if (!incoming.append(mail, records, count, mark) || !incoming.settleCopy()) {
        return fail(kFetchIncomingWrite);
    }
    m_report(kFetchProgressMsg, incoming.count(), 0);
    return kFetchDone;
}

}  // namespace quill

#include "newmail/Incorporation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "newmail/IncomingFiles.h"
#include "newmail/SpoolLock.h"
#include "store/AttachmentFilter.h"
#include "store/MailBox.h"

namespace quill {
namespace {

using namespace tocformat;

constexpr std::size_t kCopyBlock = 8192;
constexpr auto kSpoolPatience = std::chrono::seconds(10);

off_t sizeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// Hands a failed file operation to whoever opened the mailbox.
void fail(MailBox& mailbox, int operation, const std::string& path) {
    mailbox.context().fail(Status::fileFailure(operation, path));
}

// Sets each record's offset from the running offset; answers the end of the
// last record walked and the number walked.
int renumber(int fd, std::int32_t start, off_t& end) {
    char header[kHeaderSize] = {};
    std::int32_t claimed =
        readAt(fd, header, kHeaderSize, 0) > 0 ? getI32(header + kCountOffset) : 0;
    std::int32_t offset = start;
    end = kHeaderSize;
    int n = 0;
    for (; n < claimed; ++n) {
        char fixed[kFixedSize];
        if (!readAllAt(fd, fixed, kFixedSize, end)) break;
        std::int32_t recordLength = getI32(fixed);
        if (recordLength < static_cast<std::int32_t>(kFixedSize)) break;
        putU32(fixed + kOffsetOffset, static_cast<std::uint32_t>(offset));
        offset += getI32(fixed + kLengthOffset);
        if (!writeAllAt(fd, {fixed, kFixedSize}, end)) return -1;
        end += recordLength;
    }
    return n;
}

}  // namespace

bool Incorporation::incomingIdle(const std::string& dir) {
    UniqueFd fd = openFile(dir + "/" + kIncomingMail, O_RDWR);
    return fd && lockWholeFile(fd.get(), false);
}

bool Incorporation::appendToMbox(MailBox& mailbox, int fromFd, std::uint64_t from,
                                 std::uint64_t count) {
    UniqueFd out = openFile(mailbox.m_mailFileName, O_WRONLY | O_APPEND);
    if (!out) return false;
    char block[kCopyBlock];
    for (std::uint64_t done = from; done < count;) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyBlock, count - done));
        if (!readAllAt(fromFd, block, n, static_cast<off_t>(done)) ||
            !writeAll(out.get(), {block, n})) {
            return false;
        }
        done += n;
    }
    return ::fsync(out.get()) == 0 && out.close() == 0;
}

const MsgList* Incorporation::incorporateMailAtStart(MailBox& mailbox, bool* atStart) {
    std::string incomingPath = mailbox.dirname() + "/" + kIncomingMail;
    if (sizeOf(incomingPath) < 0) {
        fail(mailbox, kFileOpen, incomingPath);
        return nullptr;
    }
    IncomingFiles incoming(mailbox.dirname(), scanSettingsFrom(mailbox.context().defaults, true));
    if (!incoming.open(false)) {
        if (errno == EAGAIN || errno == EACCES) {
            mailbox.context().fail(Status::failure(Status::kInUse, incomingPath));
        } else {
            fail(mailbox, kFileOpen, incomingPath);
        }
        return nullptr;
    }
    // Only what the fetch program committed counts; the copy it took in is
    // dropped now, before the index file that names it goes.
    if (!incoming.repair() || !incoming.settleCopy()) {
        fail(mailbox, kFileWrite, incomingPath);
        return nullptr;
    }
    const MsgList* list = nullptr;
    std::uint64_t begun = 0;
    if (incoming.count() > 0 && incoming.incorporatingAt(begun)) {
        list = finishInterrupted(mailbox, incoming, begun);
        if (!list) return mailbox.fatal();
        if (atStart) *atStart = mailbox.toc().atStart();
    } else if (incoming.count() > 0) {
        UniqueFd mail = openFile(incomingPath, O_RDONLY);
        if (!mail) {
            fail(mailbox, kFileOpen, incomingPath);
            return mailbox.fatal();
        }
        if (!catchUpWithMbox(mailbox)) return mailbox.fatal();
        std::int32_t start = mailbox.m_mailLength;
        if (!incoming.markIncorporating(static_cast<std::uint64_t>(start)) ||
            !appendToMbox(mailbox, mail.get(), 0, incoming.mailSize())) {
            fail(mailbox, kFileWrite, mailbox.dirname());
            return mailbox.fatal();
        }
        fetchStepDone();
        mailbox.m_mailLength = static_cast<std::int32_t>(sizeOf(mailbox.m_mailFileName));
        if (!incorporateMail(mailbox, start)) return mailbox.fatal();
        fetchStepDone();
        if (atStart) *atStart = mailbox.toc().atStart();
        list = &mailbox.getMsgList();
    }
    ::unlink((mailbox.dirname() + "/" + kIncomingToc).c_str());
    fetchStepDone();
    ::unlink(incomingPath.c_str());
    syncDirectory(mailbox.dirname());
    return list;
}

// An incorporation died after it began appending at `begun`: the part of
// "Incoming_Mail" that already stands there is not appended again, the rest
// is, and the index is rebuilt from "mbox", which now holds every message once.
const MsgList* Incorporation::finishInterrupted(MailBox& mailbox, IncomingFiles& incoming,
                                                std::uint64_t begun) {
    std::string mail, tail;
    UniqueFd in = openFile(incoming.path(kIncomingMail), O_RDONLY);
    if (!in || !readAll(in.get(), mail)) return nullptr;
    mail.resize(std::min<std::uint64_t>(mail.size(), incoming.mailSize()));
    off_t size = sizeOf(mailbox.m_mailFileName);
    std::uint64_t present = size > static_cast<off_t>(begun) ? size - begun : 0;
    UniqueFd box = openFile(mailbox.m_mailFileName, O_RDONLY);
    tail.resize(std::min<std::uint64_t>(present, mail.size()));
    if (!box || !readAllAt(box.get(), tail.data(), tail.size(), static_cast<off_t>(begun))) {
        return nullptr;
    }
    std::uint64_t done = mail.compare(0, tail.size(), tail) == 0 ? tail.size() : 0;
    if (!appendToMbox(mailbox, in.get(), done, mail.size()) || !rebuildIndex(mailbox)) {
        return nullptr;
    }
    return &mailbox.getMsgList();
}

bool Incorporation::rebuildIndex(MailBox& mailbox) {
    Toc& toc = mailbox.toc();
    toc.m_tocFile.reset();
    ::unlink(toc.m_tocName.c_str());
    mailbox.m_mailLength = static_cast<std::int32_t>(sizeOf(mailbox.m_mailFileName));
    return toc.safeLoadToc(mailbox) && toc.setAppendMode();
}

// "mbox" changed size behind the mailbox's back: its index is brought up to
// what "mbox" holds now (the messages added are indexed, a shrunk file is
// indexed afresh), so that the new mail goes after it with offsets that match.
bool Incorporation::catchUpWithMbox(MailBox& mailbox) {
    off_t size = sizeOf(mailbox.m_mailFileName);
    if (size == mailbox.m_mailLength) return true;
    if (size > mailbox.m_mailLength) return mailbox.repairTocFile(mailbox.m_mailLength) != nullptr;
    return rebuildIndex(mailbox);
}

int Incorporation::incorporateToc(MailBox& mailbox, std::int32_t start) {
    std::string path = mailbox.dirname() + "/" + kIncomingToc;
    UniqueFd prepared = openFile(path, O_RDWR);
    if (!prepared) return -1;
    off_t end = 0;
    int count = renumber(prepared.get(), start, end);
    std::string records(static_cast<std::size_t>(end - kHeaderSize), '\0');
    UniqueFd index = openFile(mailbox.toc().tocName(), O_WRONLY | O_APPEND);
    if (count < 0 || !readAllAt(prepared.get(), records.data(), records.size(), kHeaderSize) ||
        !index || !writeAll(index.get(), records) || ::fsync(index.get()) != 0) {
        fail(mailbox, kFileWrite, mailbox.dirname());
        mailbox.fatal();
        return -1;
    }
    ::unlink(path.c_str());
    return count;
}

Toc* Incorporation::incorporateMail(MailBox& mailbox, std::int32_t start) {
    Toc& toc = mailbox.toc();
    if (toc.m_tocFile && toc.m_tocFile.close() != 0) {
        toc.fileError(kFileClose);
        return nullptr;
    }
    off_t oldSize = sizeOf(toc.m_tocName);
    if (oldSize < 0) {
        toc.fileError(kFileStat);
        return nullptr;
    }
    toc.m_loadAtStart = false;
    int added = incorporateToc(mailbox, start);
    if (added < 0) return nullptr;
    return toc.loadAppended(mailbox, added, oldSize);
}

// The copy beside "mbox" is what the attachment filter reads. It needs no
// fsync: the spool keeps the mail until "mbox" holds it durably.
bool Incorporation::filterSpool(MailBox& mailbox, const std::string& spoolText,
                                std::string& stored) {
    std::string copyPath = mailbox.m_mailFileName + "~";
    UniqueFd copy = openFile(copyPath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!copy || !writeAll(copy.get(), spoolText) || copy.close() != 0) {
        fail(mailbox, kFileWrite, copyPath);
        return false;
    }
    if (!AttachmentFilter(mailbox.dirname()).filterAttachments(spoolText, stored)) {
        fail(mailbox, kFileWrite, mailbox.m_mailFileName);
        return false;
    }
    return true;
}

const MsgList* Incorporation::getNewMail(MailBox& mailbox, bool* atStart, const std::string& spool,
                                         ProcessLauncher& launcher) {
    if (sizeOf(spool) <= 0) {
        mailbox.context().fail(Status::failure(Status::kNoNewMail, spool));
        return nullptr;
    }
    std::unique_ptr<SpoolLock> lock = SpoolLock::lock(spool, kSpoolPatience, launcher);
    if (!lock) {
        fail(mailbox, kFileLock, spool);
        return nullptr;
    }
    std::string spoolText, stored;
    if (!readAll(lock->fd(), spoolText)) {
        fail(mailbox, kFileRead, spool);
        return mailbox.fatal();
    }
    // Most spools need no filtering; they are stored without another copy.
    bool unchanged = AttachmentFilter::passesUnchanged(spoolText);
    if (!unchanged && !filterSpool(mailbox, spoolText, stored)) return mailbox.fatal();
    UniqueFd mbox = openFile(mailbox.m_mailFileName, O_WRONLY | O_APPEND);
    if (!mbox || !writeAll(mbox.get(), unchanged ? spoolText : stored) ||
        ::fsync(mbox.get()) != 0) {
        fail(mailbox, kFileWrite, mailbox.m_mailFileName);
        return mailbox.fatal();
    }
    mbox.reset();
    const MsgList* list = mailbox.repairTocFile(mailbox.m_mailLength);
    if (!list) return mailbox.fatal();
    if (::ftruncate(lock->fd(), 0) != 0 || ::fsync(lock->fd()) != 0) {
        fail(mailbox, kFileTruncate, spool);
    }
    ::unlink((mailbox.m_mailFileName + "~").c_str());
    if (atStart) *atStart = mailbox.toc().atStart();
    return list;
}

}  // namespace quill

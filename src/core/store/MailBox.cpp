#include "store/MailBox.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/ByteSink.h"
#include "base/ByteSource.h"
#include "base/Diagnostics.h"
#include "message/MailMessage.h"
#include "platform/RunLoop.h"
#include "process/DisplayFilter.h"
#include "settings/Defaults.h"
#include "store/AppendJournal.h"
#include "store/Compaction.h"
#include "store/MailBoxWindow.h"
#include "store/MessageMove.h"
#include "store/attachmentdirs.h"
#include "store/diskusage.h"
#include "store/durable.h"
#include "store/locking.h"
#include "store/pastetext.h"

namespace quill {
namespace {

constexpr std::size_t kMaxDirname = 1023;

// Writable open mailboxes, linked through nextInCache.
MailBox*& cacheHead() {
    static MailBox* head = nullptr;
    return head;
}

MailBox::WindowFinder& windowFinder() {
    static MailBox::WindowFinder finder;
    return finder;
}

struct DefaultFrame {
    tocformat::WindowFrame frame{100, 200, 600, 640};
    float tocHeight = 160;
};
DefaultFrame& defaultFrame() {
    static DefaultFrame d;
    return d;
}

bool isDirectory(const std::string& path, bool& exists) {
    struct stat st;
    exists = ::stat(path.c_str(), &st) == 0;
    return exists && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Makes directory `dir` (an existing one is fine) and an empty message file;
// on failure `failed` names the path that could not be made.
int createMailbox(const std::string& dir, const std::string& file, std::string& failed) {
    failed = dir;
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return -1;
    failed = file;
    UniqueFd fd = openFile(file, O_WRONLY | O_CREAT);
    if (!fd || ::fsync(fd.get()) != 0 || fd.close() != 0) return -1;
    return 0;
}

}  // namespace

std::string getLongName(const std::string& path) { return path + "/mbox"; }

Status makeMailbox(const std::string& path) {
    std::string mbox = getLongName(path);
    std::string failed;
    if (exists(mbox) || createMailbox(path, mbox, failed) == 0) return {};
    return Status::fileFailure(kFileOpen, failed);
}

int compileFindExpression(regex_t& expression, const char* pattern, int flags) {
    return ::regcomp(&expression, pattern, flags | REG_NEWLINE);
}

void MailBox::setWindowFinder(WindowFinder finder) { windowFinder() = std::move(finder); }

void MailBox::setDefaultFrame(const tocformat::WindowFrame& frame, float tocHeight) {
    defaultFrame() = {frame, tocHeight};
}

std::unique_ptr<MailBox> MailBox::newMailBox(const std::string& path, const MailContext& context) {
    std::unique_ptr<MailBox> mailbox(new MailBox(context));
    if (!mailbox->initMailBox(path)) return nullptr;
    return mailbox;
}

MailBox* MailBox::newTempMailBox(const std::string& path, const MailContext& context) {
    if (windowFinder()) {
        WindowMailbox window = windowFinder()(path);
        if (window.shown) return window.shown;
        // A second opening would meet the window's own lock, which must not be broken.
        if (window.opening) {
            context.fail(Status::failure(Status::kStillOpening, path));
            return nullptr;
        }
    }
    std::string mbox = getLongName(path);
    for (MailBox* m = cacheHead(); m; m = m->m_nextInCache) {
        if (m->m_mailFileName == mbox) return m;
    }
    std::shared_ptr<MailBox> opened = newMailBox(path, context);
    if (!opened) return nullptr;
    context.runLoop.releaseLater(opened);
    return opened.get();
}

std::unique_ptr<MailBox> MailBox::openUnindexed(const std::string& path,
                                                const MailContext& context) {
    std::unique_ptr<MailBox> mailbox(new MailBox(context));
    if (!mailbox->openFiles(path)) return nullptr;
    return mailbox;
}

// Every failure returns before the mailbox enters the cache; the destructor
// then closes what was opened and removes our lock file.
MailBox* MailBox::initMailBox(const std::string& path) {
    if (!openFiles(path) || !loadIndex()) return nullptr;
    return finishOpening(path) ? this : nullptr;
}

bool MailBox::openFiles(const std::string& path) {
    if (path.empty()) return false;
    bool present = false;
    bool directory = isDirectory(path, present);
    if (present && !directory) {
        m_context.fail(Status::failure(Status::kOldFormat, path));
        return false;
    }
    std::string mbox = getLongName(path);
    std::string failed;
    if (!present && createMailbox(path, mbox, failed) != 0) {
        m_context.fail(Status::fileFailure(kFileOpen, path));
        return false;
    }
    if (!exists(mbox) && createMailbox(path, mbox, failed) != 0 && !exists(mbox)) {
        m_context.fail(Status::fileFailure(kFileOpen, mbox));
        return false;
    }
    if (!lockMailbox(path, m_haveLock, m_context)) return false;
    m_lockPath = path + "/.lock";
    if (!recoverInterruptedWork(path)) return false;
    struct stat st;
    m_mailLength = ::stat(mbox.c_str(), &st) == 0 ? static_cast<std::int32_t>(st.st_size) : 0;
    m_mailFileName = mbox;
    if (!openMbox("r")) return false;
    m_dirname = m_mailFileName.substr(0, std::min(m_mailFileName.rfind('/'), kMaxDirname));
    m_toc = std::make_unique<Toc>(m_context);
    return true;
}

bool MailBox::loadIndex() { return m_toc->safeLoadToc(*this) != nullptr; }

bool MailBox::loadCurrentIndex() { return m_toc->loadCurrent(*this); }

bool MailBox::rebuildIndex(const OffThreadRebuild& how) {
    return m_toc->rebuildOffThread(*this, how) != nullptr;
}

bool MailBox::finishOpening(const std::string& path) {
    calcAccess();
    if (readOnly()) {
        m_context.fail(Status::failure(Status::kOpenedReadOnly, path));
        return true;
    }
    if (!m_toc->setAppendMode()) return false;
    maybeUpdateToc();
    finishInterruptedWork();
    m_nextInCache = cacheHead();
    cacheHead() = this;
    return true;
}

MailBox::~MailBox() { removeLock(); }

void MailBox::leaveCache() {
    for (MailBox** link = &cacheHead(); *link; link = &(*link)->m_nextInCache) {
        if (*link == this) {
            *link = m_nextInCache;
            break;
        }
    }
    m_nextInCache = nullptr;
}

void MailBox::removeLock() {
    leaveCache();
    m_toc.reset();
    m_mailFile.close();
    if (m_haveLock) {
        ::unlink(m_lockPath.c_str());
        m_haveLock = false;
    }
}

std::nullptr_t MailBox::fatal() {
    if (m_mailReader) {
        m_mailReader->fatal();
    } else {
        removeLock();
    }
    return nullptr;
}

void MailBox::fileError(int code) const {
    m_context.fail(Status::fileFailure(code, m_mailFileName));
}

bool MailBox::openMbox(const char* mode) {
    Status status;
    m_mailFile = openMailFile(m_mailFileName, mode, status);
    if (!m_mailFile) m_context.fail(status);
    return bool(m_mailFile);
}

void MailBox::calcAccess() {
    if (::access(m_mailFileName.c_str(), W_OK) == 0) {
        m_mboxAccess = m_toc->calcAccess();
    } else {
        m_mboxAccess = 0;
        m_toc->setAccess(0);
    }
}

void MailBox::defaultWindowFrame(tocformat::WindowFrame& frame, float& tocHeight) {
    frame = defaultFrame().frame;
    tocHeight = defaultFrame().tocHeight;
}

// The window answers from its own geometry or what it was opened with; it
// never asks the mailbox back, so an index rebuilt under a window is safe.
void MailBox::getWindowFrame(tocformat::WindowFrame& frame) const {
    float height = 0;
    defaultWindowFrame(frame, height);
    if (m_mailReader) m_mailReader->getFrame(frame, height);
}

float MailBox::getTocHeight() const {
    tocformat::WindowFrame frame;
    float height = 0;
    defaultWindowFrame(frame, height);
    if (m_mailReader) m_mailReader->getFrame(frame, height);
    return height;
}

Message& MailBox::msgHeader() {
    if (!m_msgHeader) m_msgHeader = std::make_unique<Message>();
    return *m_msgHeader;
}

PageBuffer& MailBox::rawMsg() {
    static PageBuffer buffer;
    return buffer;
}

PageBuffer& MailBox::processed() {
    static PageBuffer buffer;
    return buffer;
}

bool MailBox::readAt(off_t offset, std::size_t count, char* into) const {
    return readAllAt(::fileno(m_mailFile.get()), into, count, offset);
}

std::optional<std::string_view> MailBox::loadMessageTextAt(int index) {
    if (!m_toc || index < 0 || static_cast<std::uint32_t>(index) >= m_toc->length()) {
        return std::nullopt;
    }
    const TocEntry& e = m_toc->entry(index);
    // The stored length includes the newline before the next "From " line.
    std::size_t count = e.length > 0 ? static_cast<std::size_t>(e.length - 1) : 0;
    PageBuffer& raw = rawMsg();
    raw.clear();
    if (!readAt(e.offset, count, raw.reserveTail(count))) {
        fileError(kFileRead);
        return std::nullopt;
    }
    raw.grow(count);
    std::string_view text = raw.view();
    std::string command = m_context.defaults.displayFilter();
    if (!command.empty()) {
        std::optional<std::string> filtered =
            runDisplayFilter(m_context.processes(), command, raw.view());
        if (filtered && !filtered->empty()) {
            processed().clear();
            processed().append(*filtered);
            text = processed().view();
        }
    }
    msgHeader().readMessage(raw.view());
    return text;
}

const MsgList* MailBox::getMail(std::string_view bytes) {
    if (m_mailFile.close() != 0) {
        fileError(kFileClose);
        return fatal();
    }
    if (!m_toc->markUnmatched() || !openMbox("a+")) return fatal();
    int fd = ::fileno(m_mailFile.get());
    Status written = durable::write(fd, bytes, m_mailFileName);
    if (written.ok()) written = durable::sync(fd, m_mailFileName);
    if (!written.ok()) {
        m_context.fail(written);
        return fatal();
    }
    const MsgList* list = repairTocFile(m_mailLength);
    if (!list) return fatal();
    if (m_mailReader) m_mailReader->loadToc(*list, m_toc->atStart());
    return list;
}

const MsgList* MailBox::repairTocFile(std::int32_t oldLength) {
    if (m_mailFile.close() != 0) {
        fileError(kFileClose);
        return nullptr;
    }
    struct stat st;
    if (::stat(m_mailFileName.c_str(), &st) != 0) {
        fileError(kFileStat);
        return nullptr;
    }
    if (st.st_size == oldLength) {
        m_context.fail(Status::failure(Status::kMailNotAppended, m_mailFileName));
        return nullptr;
    }
    if (!openMbox("r")) return nullptr;
    ::fseeko(m_mailFile.get(), oldLength, SEEK_SET);
    m_mailLength = static_cast<std::int32_t>(st.st_size);
    if (!m_toc->repairToc(*this)) return nullptr;
    return &getMsgList();
}

const MsgList& MailBox::getMsgList() {
    m_toc->loadMsgListAt(0, static_cast<int>(m_toc->length()));
    return m_toc->getMsgList();
}

void MailBox::maybeUpdateToc() {
    if (m_toc->needUpdate() && !m_toc->updateTocForMailbox(*this)) {
        m_context.fail(Status::failure(Status::kIndexNotUpgraded, m_dirname));
    }
}

int MailBox::checkAttachmentSizeForMessageAt(int index) {
    const TocEntry& e = m_toc->entry(index);
    if (e.type != 'r' || e.attachTime == 0) return 0;
    std::string dir = m_dirname + "/" + m_toc->loadAttach(index);
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            reportPathError(dir, errno);
            return 0;
        }
        m_toc->updateMessageAt(index, 0, -1);
        return 1;
    }
    if (static_cast<std::int32_t>(st.st_mtime) == e.attachTime) return 0;
    logRaw(formatString("[Quill: Recomputing attachment size for message %d]\n", index + 1));
    std::int64_t bytes = 0;
    if (!diskUsage(dir, bytes)) {
        reportPathError(dir, errno);
        return 0;
    }
    m_toc->updateMessageAt(index, static_cast<std::int32_t>(bytes),
                           static_cast<std::int32_t>(st.st_mtime));
    return 1;
}

int MailBox::find(std::string_view pattern, long start, long end, long locs[2], std::FILE* inFile) {
    std::FILE* f = inFile ? inFile : m_mailFile.get();
    if (pattern.empty() || !f) return 0;
    for (long pos = start;; ++pos) {
        if (end >= 1 && pos >= end) return 0;
        int c = std::getc(f);
        if (c == EOF) return 0;
        if (static_cast<char>(c) != pattern[0]) continue;
        std::size_t extra = 0;  // bytes read past the candidate
        bool matched = true;
        for (std::size_t k = 1; matched && k < pattern.size(); ++k) {
            int d = std::getc(f);
            if (d != EOF) ++extra;
            matched = d != EOF && static_cast<char>(d) == pattern[k];
        }
        if (matched) {
            locs[0] = pos;
            locs[1] = pos + static_cast<long>(pattern.size());
            return 1;
        }
        // Resume one byte after the candidate start.
        ::fseeko(f, -static_cast<off_t>(extra), SEEK_CUR);
    }
}

namespace {

bool matches(const regex_t& re, std::string_view text) {
    regmatch_t m[1];
    m[0].rm_so = 0;
    m[0].rm_eo = static_cast<regoff_t>(text.size());
    return ::regexec(&re, text.data(), 1, m, REG_STARTEND) == 0;
}

}  // namespace

int MailBox::messageAt(int index, const regex_t& containsRegExpr) {
    int count = m_toc ? static_cast<int>(m_toc->length()) : 0;
    if (index < 0 || index >= count) {
        logRaw(formatString("# Searching out of bounds: %d != [0..%d]\n", index, count));
        return 0;
    }
    const TocEntry& e = m_toc->entry(index);
    thread_local std::string bytes;
    bytes.resize(static_cast<std::size_t>(e.length));
    if (readAt(e.offset, bytes.size(), bytes.data()) && matches(containsRegExpr, bytes)) {
        return 1;
    }
    if (e.type != 'r') return 0;
    std::string rtf =
        formatString("%s/%s/index.rtf", m_dirname.c_str(), m_toc->loadAttach(index).c_str());
    if (!readFile(rtf, bytes)) {
        logRaw(formatString("Warning: Can't open %s\n", rtf.c_str()));
        return 0;
    }
    return matches(containsRegExpr, bytes) ? 1 : 0;
}

bool MailBox::fixAttachment(std::string&, long, bool) { return true; }

}  // namespace quill

namespace quill {

std::unique_ptr<MailMessage> MailBox::loadMessageAt(int index, bool forcePlain) {
    std::optional<std::string_view> text = loadMessageTextAt(index);
    if (!text) return nullptr;
    ByteSource source(*text);
    std::unique_ptr<MailMessage> message = forcePlain
                                               ? MailMessage::initFromStream(source, dirname())
                                               : MailMessage::newFromStream(source, dirname());
    if (!message && !forcePlain) {
        ByteSource again(*text);
        message = MailMessage::initFromStream(again, dirname());
    }
    return message;
}

int MailBox::appendMessage(MailMessage& message) {
    ByteSink sink;
    if (!message.writeToStreamMailbox(sink, dirname())) return 0;
    return getMail(sink.bytes()) ? 1 : 0;
}

}  // namespace quill

namespace quill {

bool MailBox::recoverInterruptedWork(const std::string& path) {
    bool usable = true;
    for (const Status& status : {Compaction::recover(path), AppendJournal::recover(path)}) {
        if (status.ok()) continue;
        m_context.fail(status);
        // The other mailbox of an interrupted transfer is another program's:
        // writing here now could outgrow what the journal says about it.
        usable = usable && status.kind() != Status::kInUse;
    }
    return usable;
}

void MailBox::finishInterruptedWork() {
    Status status = AppendJournal::applyDeletions(m_dirname, *m_toc);
    if (!status.ok()) m_context.fail(status);
}

std::unique_ptr<Compaction> MailBox::planCompaction() {
    return std::make_unique<Compaction>(m_dirname, *m_toc);
}

bool MailBox::compactMail(int& selected) {
    std::unique_ptr<Compaction> compaction = planCompaction();
    Status written = compaction->writeMailFile(nullptr);
    if (!written.ok()) {
        m_context.fail(written);
        return false;
    }
    return finishCompaction(*compaction, selected);
}

bool MailBox::finishCompaction(Compaction& compaction, int& selected) {
    Status status = compaction.commit(*m_toc);
    if (!status.ok()) {
        if (status.kind() != Status::kCancelled) m_context.fail(status);
        // Past the rename of "mbox" the index on disk is the compacted one.
        if (!durable::exists(durable::sidePath(m_mailFileName)) && !reloadCompacted()) fatal();
        return false;
    }
    if (!reloadCompacted()) {
        fatal();
        return false;
    }
    removeAttachmentDirectories(m_context.processes(), m_dirname, compaction.deletedAttachments());
    ::unlink((m_mailFileName + "~").c_str());
    selected = m_toc->selectedMsg();
    return true;
}

bool MailBox::reloadCompacted() {
    if (m_mailFile.close() != 0) fileError(kFileClose);
    if (!openMbox("r")) return false;
    struct stat st;
    m_mailLength =
        ::fstat(::fileno(m_mailFile.get()), &st) == 0 ? static_cast<std::int32_t>(st.st_size) : 0;
    return m_toc->safeLoadToc(*this) && m_toc->setAppendMode();
}

bool MailBox::transfer(const std::vector<int>& list, MailBox& target) {
    return MessageMove::run(*this, list, target);
}

const MsgList* MailBox::pasteMail(std::string_view text) {
    std::string bytes = pastedMessage(text, currentUser(), std::time(nullptr));
    struct stat st;
    if (::stat(m_mailFileName.c_str(), &st) != 0) {
        fileError(kFileStat);
        return nullptr;
    }
    Status status = AppendJournal::begin(m_dirname, st.st_size,
                                         st.st_size + static_cast<off_t>(bytes.size()), "", {});
    if (!status.ok()) {
        m_context.fail(status);
        return nullptr;
    }
    const MsgList* list = getMail(bytes);
    status = list ? AppendJournal::end(m_dirname, "") : AppendJournal::recover(m_dirname);
    if (!status.ok()) m_context.fail(status);
    return list;
}

}  // namespace quill

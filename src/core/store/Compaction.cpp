#include "store/Compaction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/bigendian.h"
#include "store/Toc.h"
#include "store/durable.h"

namespace quill {

using namespace tocformat;

namespace {

constexpr const char* kMailName = "/mbox";
constexpr const char* kTocName = "/table_of_contents";

}  // namespace

Compaction::Compaction(const std::string& mailboxDir, const Toc& toc)
    : m_mailFile(mailboxDir + kMailName), m_tocFile(mailboxDir + kTocName) {
    struct stat st;
    if (::stat(m_mailFile.c_str(), &st) == 0) {
        m_oldSize = st.st_size;
        m_mode = st.st_mode & 07777;
    }
    int n = static_cast<int>(toc.length());
    m_deleted.resize(n);
    m_newOffsets.resize(n);
    // A first message that is kept keeps whatever precedes it in "mbox".
    off_t written = 0;
    for (int i = 0; i < n; ++i) {
        const TocEntry& e = toc.entry(i);
        m_deleted[i] = e.status.isDeleted();
        if (m_deleted[i]) {
            ++m_deletedCount;
            if (e.type == 'r') m_attachments.push_back(toc.loadAttach(i));
            continue;
        }
        off_t from = i == 0 ? 0 : e.offset;
        off_t end = off_t(e.offset) + e.length;
        if (!m_runs.empty() && m_runs.back().from + m_runs.back().count == from) {
            m_runs.back().count += end - from;
        } else {
            m_runs.push_back({from, end - from});
        }
        m_newOffsets[i] = static_cast<std::int32_t>(written + (e.offset - from));
        written += end - from;
    }
    m_newSize = written;
}

Status Compaction::writeMailFile(const std::function<bool(double)>& progress) {
    std::string side = durable::sidePath(m_mailFile);
    UniqueFd in = openFile(m_mailFile, O_RDONLY);
    if (!in) return Status::fileFailure(kFileOpen, m_mailFile);
    Status status;
    UniqueFd out = durable::createSide(side, m_mode, status);
    off_t base = 0;
    auto told = [&](off_t done) {
        return !progress || progress(m_newSize ? double(base + done) / double(m_newSize) : 1.0);
    };
    for (const Run& run : m_runs) {
        if (!status.ok()) break;
        status = durable::copyRange(out.get(), in.get(), run.from, run.count, side, told);
        base += run.count;
    }
    if (status.ok() && !told(0)) status = Status::failure(Status::kCancelled, m_mailFile);
    if (status.ok()) status = durable::sync(out.get(), side);
    struct stat st;
    if (status.ok() && ::fstat(out.get(), &st) != 0) status = Status::fileFailure(kFileStat, side);
    if (status.ok() && out.close() != 0) status = Status::fileFailure(kFileClose, side);
    if (!status.ok()) {
        abandon();
        return status;
    }
    m_newTime = static_cast<std::int32_t>(st.st_mtime);
    return {};
}

std::string Compaction::buildIndex(const std::string& old, const Toc& toc,
                                   std::int32_t mailTime) const {
    std::string out = old.substr(0, kHeaderSize);
    putU32(out.data() + kCountOffset,
           static_cast<std::uint32_t>(m_deleted.size() - m_deletedCount));
    putU32(out.data() + kTimeOffset, static_cast<std::uint32_t>(mailTime));
    for (std::size_t i = 0; i < m_deleted.size(); ++i) {
        if (m_deleted[i]) continue;
        const TocEntry& e = toc.entry(static_cast<int>(i));
        std::size_t at = out.size();
        out.append(old, static_cast<std::size_t>(e.tocPosition),
                   static_cast<std::size_t>(e.recordLength));
        putU32(out.data() + at + kOffsetOffset, static_cast<std::uint32_t>(m_newOffsets[i]));
    }
    return out;
}

Status Compaction::commit(const Toc& toc) {
    struct stat st;
    if (::stat(m_mailFile.c_str(), &st) != 0 || st.st_size != m_oldSize) {
        abandon();
        return Status::failure(Status::kMailboxChanged, m_mailFile);
    }
    std::string old;
    if (!readFile(m_tocFile, old) || old.size() < kHeaderSize) {
        Status status = Status::fileFailure(kFileRead, m_tocFile);
        abandon();
        return status;
    }
    std::string side = durable::sidePath(m_tocFile);
    Status status;
    mode_t mode = ::stat(m_tocFile.c_str(), &st) == 0 ? st.st_mode : 0644;
    UniqueFd out = durable::createSide(side, mode, status);
    if (status.ok()) status = durable::write(out.get(), buildIndex(old, toc, m_newTime), side);
    if (status.ok()) status = durable::sync(out.get(), side);
    if (status.ok() && out.close() != 0) status = Status::fileFailure(kFileClose, side);
    if (status.ok()) status = durable::syncDirectory(durable::directoryOf(m_mailFile));
    if (status.ok()) status = durable::rename(durable::sidePath(m_mailFile), m_mailFile);
    if (status.ok()) status = durable::rename(side, m_tocFile);
    // Whether the rename of "mbox" happened decides which files stay.
    if (!status.ok()) recover(durable::directoryOf(m_mailFile));
    return status;
}

void Compaction::abandon() {
    ::unlink(durable::sidePath(m_mailFile).c_str());
    ::unlink(durable::sidePath(m_tocFile).c_str());
}

Status Compaction::recover(const std::string& dir) {
    std::string mail = dir + kMailName, toc = dir + kTocName;
    std::string mailSide = durable::sidePath(mail), tocSide = durable::sidePath(toc);
    bool mailLeft = durable::exists(mailSide), tocLeft = durable::exists(tocSide);
    if (tocLeft && !mailLeft) return durable::rename(tocSide, toc);
    if (mailLeft) {
        if (Status s = durable::remove(mailSide); !s.ok()) return s;
    }
    if (tocLeft) return durable::remove(tocSide);
    return {};
}

}  // namespace quill

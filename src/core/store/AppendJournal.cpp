#include "store/AppendJournal.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <sstream>

#include "store/MailboxLock.h"
#include "store/MessageStatus.h"
#include "store/Toc.h"
#include "store/durable.h"

namespace quill {

namespace {

constexpr const char* kAppendMark = "/Pending_Append";
constexpr const char* kTransferMark = "/Pending_Transfer";
constexpr const char* kDeletionMark = "/Pending_Deletions";

struct Pending {
    off_t oldLength = 0;
    off_t newLength = 0;
    std::string source;
    std::vector<AppendJournal::Moved> moved;
};

// "offset length\n" per moved message.
std::string encodeMoved(const std::vector<AppendJournal::Moved>& moved) {
    std::ostringstream out;
    for (const AppendJournal::Moved& m : moved) out << m.offset << ' ' << m.length << '\n';
    return out.str();
}

std::vector<AppendJournal::Moved> decodeMoved(std::istream& in) {
    std::vector<AppendJournal::Moved> moved;
    AppendJournal::Moved m;
    while (in >> m.offset >> m.length) moved.push_back(m);
    return moved;
}

// "old new\nsource\n" and the moved messages (the source line is empty for a paste).
std::string encode(const Pending& p) {
    std::ostringstream out;
    out << p.oldLength << ' ' << p.newLength << '\n' << p.source << '\n';
    return out.str() + encodeMoved(p.moved);
}

bool decode(const std::string& text, Pending& p) {
    std::istringstream in(text);
    if (!(in >> p.oldLength >> p.newLength) || in.get() != '\n') return false;
    std::getline(in, p.source);
    p.moved = decodeMoved(in);
    return true;
}

bool readPending(const std::string& targetDir, Pending& p) {
    std::string text;
    return readFile(targetDir + kAppendMark, text) && decode(text, p);
}

off_t mailSize(const std::string& dir) {
    struct stat st;
    return ::stat((dir + "/mbox").c_str(), &st) == 0 ? st.st_size : -1;
}

bool namesTarget(const std::string& sourceDir, const std::string& targetDir) {
    std::string target;
    return readFile(sourceDir + kTransferMark, target) && target == targetDir + "\n";
}

bool earlier(const AppendJournal::Moved& a, const AppendJournal::Moved& b) {
    return a.offset != b.offset ? a.offset < b.offset : a.length < b.length;
}

}  // namespace

Status AppendJournal::begin(const std::string& targetDir, off_t oldLength, off_t newLength,
                            const std::string& sourceDir, const std::vector<Moved>& moved) {
    if (!sourceDir.empty()) {
        Status s = durable::replaceFile(sourceDir + kTransferMark, targetDir + "\n", 0644);
        if (!s.ok()) return s;
    }
    Status s = durable::replaceFile(targetDir + kAppendMark,
                                    encode({oldLength, newLength, sourceDir, moved}), 0644);
    if (!s.ok() && !sourceDir.empty()) durable::remove(sourceDir + kTransferMark);
    return s;
}

Status AppendJournal::end(const std::string& targetDir, const std::string& sourceDir) {
    if (!sourceDir.empty()) {
        Status s = durable::remove(sourceDir + kTransferMark);
        if (!s.ok()) return s;
    }
    return durable::remove(targetDir + kAppendMark);
}

Status AppendJournal::recover(const std::string& dir) {
    std::string transfer = dir + kTransferMark;
    std::string target;
    if (readFile(transfer, target)) {
        if (target.ends_with('\n')) target.pop_back();
        Pending p;
        // Without the target's mark nothing was appended yet.
        bool ours = readPending(target, p) && p.source == dir;
        Status s = ours ? recoverAppend(target, dir) : durable::remove(transfer);
        if (!s.ok()) return s;
    }
    if (durable::exists(dir + kAppendMark)) return recoverAppend(dir, dir);
    return {};
}

// `opening` is the mailbox whose lock the caller holds; the other one is
// written only under its own lock, and while another program has it the
// journal stays for the next opening.
Status AppendJournal::recoverAppend(const std::string& targetDir, const std::string& opening) {
    Pending p;
    if (!readPending(targetDir, p)) return durable::remove(targetDir + kAppendMark);
    off_t size = mailSize(targetDir);
    bool complete = size == p.newLength;
    // The source's own mark says its messages are not marked yet; without
    // it they were, or the source is not this transfer's.
    bool fromSource = !p.source.empty() && namesTarget(p.source, targetDir);
    bool marking = complete && fromSource;
    const std::string& otherDir = opening == targetDir ? p.source : targetDir;
    std::optional<MailboxLock> other;
    if (opening != targetDir || marking) {
        other.emplace(otherDir);
        if (!other->taken()) return Status::failure(Status::kInUse, otherDir);
    }
    // Only bytes of the interrupted append are ever cut off.
    if (size > p.oldLength && size < p.newLength) {
        Status s = durable::truncate(targetDir + "/mbox", p.oldLength);
        if (!s.ok()) return s;
    }
    if (marking) {
        Status s = markMoved(p.source, p.moved);
        if (!s.ok()) return s;
    }
    // A source left unlocked keeps its mark; its opening drops it, as the
    // target's mark is gone by then.
    return end(targetDir, other && fromSource ? p.source : "");
}

// The marks wait in the source's "Pending_Deletions" until its index is
// loaded (applyDeletions): an index that is rebuilt at that opening would
// lose marks written into the file now.
Status AppendJournal::markMoved(const std::string& sourceDir, const std::vector<Moved>& moved) {
    std::string path = sourceDir + kDeletionMark;
    std::string earlier;
    readFile(path, earlier);
    return durable::replaceFile(path, earlier + encodeMoved(moved), 0644);
}

Status AppendJournal::applyDeletions(const std::string& dir, Toc& toc) {
    std::string path = dir + kDeletionMark;
    std::string text;
    if (!readFile(path, text)) return {};
    std::istringstream in(text);
    std::vector<Moved> moved = decodeMoved(in);
    std::sort(moved.begin(), moved.end(), earlier);
    bool marked = false;
    for (std::uint32_t i = 0; i < toc.length(); ++i) {
        const TocEntry& e = toc.entry(static_cast<int>(i));
        if (e.status.isDeleted() ||
            !std::binary_search(moved.begin(), moved.end(), Moved{e.offset, e.length}, earlier)) {
            continue;
        }
        // The current message stays current.
        MessageStatus mark =
            e.status.isCurrent() ? MessageStatus::kDeletedCurrent : MessageStatus::kDeleted;
        toc.setState(mark, static_cast<int>(i), false);
        marked = true;
    }
    if (marked && !toc.flushFile()) return Status::fileFailure(kFileSync, toc.tocName());
    return durable::remove(path);
}

}  // namespace quill

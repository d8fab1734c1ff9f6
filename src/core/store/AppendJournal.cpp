#include "store/AppendJournal.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "base/bigendian.h"
#include "store/MessageStatus.h"
#include "store/TocFormat.h"
#include "store/durable.h"

namespace quill {

using namespace tocformat;

namespace {

constexpr const char* kAppendMark = "/Pending_Append";
constexpr const char* kTransferMark = "/Pending_Transfer";

struct Pending {
    off_t oldLength = 0;
    off_t newLength = 0;
    std::string source;
    std::vector<AppendJournal::Moved> moved;
};

// "old new\nsource\noffset length\n..." (the source line is empty for a paste).
std::string encode(const Pending& p) {
    std::ostringstream out;
    out << p.oldLength << ' ' << p.newLength << '\n' << p.source << '\n';
    for (const AppendJournal::Moved& m : p.moved) out << m.offset << ' ' << m.length << '\n';
    return out.str();
}

bool decode(const std::string& text, Pending& p) {
    std::istringstream in(text);
    if (!(in >> p.oldLength >> p.newLength) || in.get() != '\n') return false;
    std::getline(in, p.source);
    AppendJournal::Moved m;
    while (in >> m.offset >> m.length) p.moved.push_back(m);
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

bool isMoved(const std::vector<AppendJournal::Moved>& moved, std::int32_t offset,
             std::int32_t length) {
    return std::any_of(moved.begin(), moved.end(), [&](const AppendJournal::Moved& m) {
        return m.offset == offset && m.length == length;
    });
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
        Status s = ours ? recoverAppend(target) : durable::remove(transfer);
        if (!s.ok()) return s;
    }
    if (durable::exists(dir + kAppendMark)) return recoverAppend(dir);
    return {};
}

Status AppendJournal::recoverAppend(const std::string& targetDir) {
    Pending p;
    if (!readPending(targetDir, p)) return durable::remove(targetDir + kAppendMark);
    off_t size = mailSize(targetDir);
    bool complete = size == p.newLength;
    // Only bytes of the interrupted append are ever cut off.
    if (size > p.oldLength && size < p.newLength) {
        Status s = durable::truncate(targetDir + "/mbox", p.oldLength);
        if (!s.ok()) return s;
    }
    // The source's own mark says its messages are not marked yet; without
    // it they were, or the source is not this transfer's.
    bool fromSource = !p.source.empty() && namesTarget(p.source, targetDir);
    if (complete && fromSource) {
        Status s = markMoved(p.source, p.moved);
        if (!s.ok()) return s;
    }
    return end(targetDir, fromSource ? p.source : "");
}

// Marks the moved messages deleted in the source's index file directly: the
// source is not open yet, and the marks leave the index matching its "mbox".
Status AppendJournal::markMoved(const std::string& sourceDir, const std::vector<Moved>& moved) {
    std::string path = sourceDir + "/table_of_contents";
    std::string index;
    if (!readFile(path, index)) return Status::fileFailure(kFileRead, path);
    if (index.size() < kHeaderSize || getU32(index.data()) != kMagic) return {};
    UniqueFd fd = openFile(path, O_WRONLY);
    if (!fd) return Status::fileFailure(kFileOpen, path);
    std::int32_t count = getI32(index.data() + kCountOffset);
    std::size_t at = kHeaderSize;
    for (std::int32_t i = 0; i < count && at + kFixedSize <= index.size(); ++i) {
        const char* rec = index.data() + at;
        std::int32_t recordLength = getI32(rec);
        if (recordLength < static_cast<std::int32_t>(kFixedSize)) break;
        if (isMoved(moved, getI32(rec + kOffsetOffset), getI32(rec + kLengthOffset))) {
            MessageStatus old(rec[kStatusOffset]);
            char mark = old.isCurrent() ? 'D' : 'd';
            Status s = durable::writeAt(fd.get(), {&mark, 1},
                                        static_cast<off_t>(at + kStatusOffset), path);
            if (!s.ok()) return s;
        }
        at += static_cast<std::size_t>(recordLength);
    }
    return durable::sync(fd.get(), path);
}

}  // namespace quill

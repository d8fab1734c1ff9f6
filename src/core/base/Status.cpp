#include "base/Status.h"

#include <cstring>
#include <iterator>

namespace quill {
namespace {

constexpr const char* kVerbs[] = {"open", "close", "write", "read",     "unlink", "stat",
                                  "lock", "flush", "sync",  "truncate", "create", "execute"};

// What each condition that is not one failed call says in a log line.
const char* conditionText(Status::Kind kind) {
    switch (kind) {
        case Status::kOldFormat:
            return "old mailbox format";
        case Status::kInUse:
            return "in use by another reader";
        case Status::kMailNotAppended:
            return "mail not appended";
        case Status::kIndexNotUpgraded:
            return "index not upgraded";
        case Status::kNoNewMail:
            return "no new mail";
        case Status::kOpenedReadOnly:
            return "opened read-only";
        case Status::kCancelled:
            return "cancelled";
        case Status::kMailboxChanged:
            return "changed while compacting";
        case Status::kNotCopied:
            return "attachment not copied";
        case Status::kStillOpening:
            return "index still being rebuilt";
        default:
            return "";
    }
}

}  // namespace

Status Status::fileFailure(int operation, std::string path, int errnum) {
    Status s = failure(kFileFailed, std::move(path), errnum);
    s.m_operation = operation;
    return s;
}

Status Status::failure(Kind kind, std::string path, int errnum) {
    Status s;
    s.m_kind = kind;
    s.m_path = std::move(path);
    s.m_errnum = errnum;
    return s;
}

const char* Status::verb(int operation) {
    if (operation >= 0 && operation < static_cast<int>(std::size(kVerbs))) return kVerbs[operation];
    return "access";
}

std::string Status::message() const {
    if (ok()) return "ok";
    std::string text = m_kind == kFileFailed ? std::string(verb(m_operation)) + " " + m_path
                                             : m_path + ": " + conditionText(m_kind);
    if (m_errnum != 0) text += std::string(": ") + std::strerror(m_errnum);
    return text;
}

}  // namespace quill

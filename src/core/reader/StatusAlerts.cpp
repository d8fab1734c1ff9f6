#include "reader/StatusAlerts.h"

#include "platform/Error.h"
#include "platform/Panels.h"

namespace quill {

void tellUser(Panels& panels, const Status& status) {
    const char* path = status.path().c_str();
    switch (status.kind()) {
        case Status::kOk:
            return;
        case Status::kFileFailed:
            Error::badFile(panels, status);
            return;
        case Status::kOldFormat:
            runAlert(panels, "Old File Format", "Cannot open mailbox. %s is in the old format.",
                     "OK", nullptr, nullptr, path);
            return;
        case Status::kInUse:
            runAlert(panels, "Open",
                     "%s is already in use.\nPlease exit the other mail reader before invoking "
                     "Quill.",
                     "OK", nullptr, nullptr, path);
            return;
        case Status::kMailNotAppended:
            runAlert(panels, "Open Index", "Can't open index", "OK", nullptr, nullptr);
            return;
        case Status::kIndexNotUpgraded:
            runAlert(panels, "Open Mailbox",
                     "File permission error.  Could not update table of contents.", "OK", nullptr,
                     nullptr);
            return;
        case Status::kNoNewMail:
            runAlert(panels, "New Mail", "No new mail.", "OK", nullptr, nullptr);
            return;
        case Status::kCancelled:
            return;
        case Status::kMailboxChanged:
            runAlert(panels, "Compact",
                     "The mailbox changed while it was being compacted; it was left as it was.",
                     "OK", nullptr, nullptr);
            return;
        case Status::kNotCopied:
            runAlert(panels, "Transfer", "Unable to transfer %s", "OK", nullptr, nullptr, path);
            return;
        case Status::kStillOpening:
            runAlert(panels, "Open Mailbox",
                     "The table of contents for %s is still being rebuilt.  Please try again "
                     "when its window has opened.",
                     "OK", nullptr, nullptr, path);
            return;
        case Status::kOpenedReadOnly:
            runAlert(panels, "Open",
                     "This mailbox is being opened in read-only mode. If another user alters this "
                     "mailbox while you are viewing it, you will not see the changes until you "
                     "reopen it.",
                     "OK", nullptr, nullptr);
            return;
    }
}

bool askToBreakLock(Panels& panels, const LockHolder& holder) {
    return runAlert(panels, "Open", "The mailbox %s is currently locked by %s on host %s.",
                    "Open Anyway", "Cancel", nullptr, holder.path.c_str(), holder.user.c_str(),
                    holder.host.c_str()) == kAlertDefault;
}

MailContext interactiveMailContext(Defaults& defaults, Panels& panels, RunLoop& runLoop) {
    return {defaults, panels, runLoop, [&panels](const Status& s) { tellUser(panels, s); },
            [&panels](const LockHolder& h) { return askToBreakLock(panels, h); }};
}

}  // namespace quill

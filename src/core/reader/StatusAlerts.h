// StatusAlerts: what the user is told when the lower layers answer a Status,
// and the question about another holder's lock. The windows, the application
// and the tools tell the user through here; the texts are the ones users know.
#pragma once

#include "base/Status.h"
#include "store/MailContext.h"

namespace quill {

// Shows the alert of a failure or notice; a success shows nothing.
void tellUser(Panels& panels, const Status& status);
// "The mailbox %s is currently locked by %s on host %s." Open Anyway or Cancel.
bool askToBreakLock(Panels& panels, const LockHolder& holder);
// The context of an interactive caller: the given services, failures told
// to the user as they happen, and the user asked about foreign locks.
MailContext interactiveMailContext(Defaults& defaults, Panels& panels, RunLoop& runLoop);

}  // namespace quill

// The two locks that keep two programs out of one mailbox: the ".lock" file
// in the mailbox directory ("host,full name,pid", with a test for holders
// that died) and the advisory record lock on "mbox", skipped on "nfs".
#pragma once

#include <string>

#include "base/FileHandles.h"
#include "base/Status.h"

namespace quill {

struct MailContext;

// The ".lock" line of this process: "%s,%s,%d" (host, full name, process id).
std::string lockFileContent();
// Takes the ".lock" file of mailbox directory `path`, asking the context
// when another live holder has it. Answers whether the mailbox may be opened;
// `wroteLock` tells whether our lock file is in place (a read-only directory
// cannot hold one) and must be removed at the end.
bool lockMailbox(const std::string& path, bool& wroteLock, const MailContext& context);
// The same without asking anybody: false when a live holder has the lock.
bool lockMailboxQuietly(const std::string& path, bool& wroteLock);
// Whether an existing lock file may be taken over (a stale one is removed).
bool checkLock(const std::string& path, const std::string& lockPath, const MailContext& context);
// Writes the lock file with mode 0666; false when it cannot.
bool writeLock(const std::string& lockPath);

// Opens "mbox" with the record lock ("r" is opened read-write so that it can
// be locked, falling back to read-only without a lock). An empty file when it
// cannot, with `status` saying why (kInUse when another reader holds it).
UniqueFile openMailFile(const std::string& path, const char* mode, Status& status);

}  // namespace quill

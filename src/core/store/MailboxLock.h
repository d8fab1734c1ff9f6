// MailboxLock: the ".lock" of a mailbox that is not opened, taken for the
// short piece of work that finishes an interrupted transfer in it. Nobody is
// asked: a lock whose holder still runs is left alone, a stale one is taken
// over, and the lock file written here is removed again when the work ends.
#pragma once

#include <string>

namespace quill {

class MailboxLock {
  public:
    // Tries to take the lock of mailbox directory `dir`.
    explicit MailboxLock(std::string dir);
    ~MailboxLock();
    MailboxLock(const MailboxLock&) = delete;
    MailboxLock& operator=(const MailboxLock&) = delete;

    // False when another live holder has the mailbox.
    bool taken() const { return m_taken; }

  private:
    std::string m_dir;
    bool m_taken = false;
    bool m_wroteLock = false;
};

}  // namespace quill

#include "store/MailboxLock.h"

#include <unistd.h>

#include "store/locking.h"

namespace quill {

MailboxLock::MailboxLock(std::string dir) : m_dir(std::move(dir)) {
    m_taken = lockMailboxQuietly(m_dir, m_wroteLock);
}

MailboxLock::~MailboxLock() {
    if (m_wroteLock) ::unlink((m_dir + "/.lock").c_str());
}

}  // namespace quill

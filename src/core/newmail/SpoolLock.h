// SpoolLock: the lock on the user's spool file, taken the way the system's
// delivery agents take it, so that no message is written while Quill copies
// and empties the spool: the dot-lock "SPOOL.lock" (made with link(2), holding
// our process id; through "dotlockfile" when the spool directory is not ours
// to write) together with the fcntl record lock on the spool itself.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "base/FileHandles.h"

namespace quill {

class ProcessLauncher;

class SpoolLock {
  public:
    // One attempt; nullptr when another program holds either lock. A missing
    // spool is created empty so that its lock can be held. The dot-lock
    // helper, when needed, is started through `launcher`.
    static std::unique_ptr<SpoolLock> tryLock(const std::string& spool, ProcessLauncher& launcher);
    // Tries until `patience` has passed, sleeping a little longer each time.
    static std::unique_ptr<SpoolLock> lock(const std::string& spool,
                                           std::chrono::milliseconds patience,
                                           ProcessLauncher& launcher);
    // The program that locks spools in directories we may not write.
    static void setDotlockProgram(std::string path);

    ~SpoolLock();
    SpoolLock(const SpoolLock&) = delete;
    SpoolLock& operator=(const SpoolLock&) = delete;

    // The spool opened for reading and writing, locked.
    int fd() const { return m_spool.get(); }
    const std::string& path() const { return m_path; }

  private:
    explicit SpoolLock(ProcessLauncher& launcher) : m_launcher(launcher) {}
    bool takeDotLock();
    void dropDotLock();
    // The helper is told the spool through MAIL and locks "$MAIL.lock".
    int runDotlockProgram(const char* option);

    ProcessLauncher& m_launcher;

    std::string m_path;
    std::string m_lockPath;
    bool m_viaHelper = false;
    bool m_haveDotLock = false;
    UniqueFd m_spool;
};

// Whether the holder of a dot-lock is gone: its process id names no live
// process, or it holds none and is older than five minutes.
bool staleDotLock(const std::string& lockPath);

}  // namespace quill

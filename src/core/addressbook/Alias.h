// Alias: the one shared address book. Loading runs once, on a thread of its
// own started at application start-up, so windows stay responsive; every
// lookup goes through book(), which waits on the condition variable only until
// loading has finished. After that, all access is from the main thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "addressbook/AliasBook.h"
#include "addressbook/AliasSources.h"
#include "addressbook/PrivateAliases.h"

namespace quill {

class Alias {
  public:
    static Alias& shared();
    // Replaces the shared book by a fresh one that has loaded nothing (tests, tools).
    static void resetShared();

    Alias();
    ~Alias();
    Alias(const Alias&) = delete;
    Alias& operator=(const Alias&) = delete;

    // Starts loading in the background, once; the settings are read here, on
    // the calling thread.
    void forkedInitialize();
    void forkedInitialize(AliasSources sources);
    // Returns at once when loading has finished; otherwise starts it if nobody
    // did and waits for it.
    void initialize();
    bool loaded() const { return m_loaded.load(std::memory_order_acquire); }

    // The book and its private entries, once loaded.
    AliasBook& book();
    PrivateAliases& privateAliases();

    // Whether the address-book window is the active window: adding a private
    // user from elsewhere saves at once only when it is not.
    bool windowActive() const { return m_windowActive; }
    void setWindowActive(bool active) { m_windowActive = active; }

  private:
    void run();
    static void lowerPriority();

    AliasSources m_sources;
    AliasBook m_book;
    std::unique_ptr<PrivateAliases> m_private;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::atomic<bool> m_loaded{false};
    bool m_started = false;
    bool m_windowActive = false;
    std::thread m_thread;
};

}  // namespace quill

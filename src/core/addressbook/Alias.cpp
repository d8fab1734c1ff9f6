#include "addressbook/Alias.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "addressbook/AliasLoader.h"

namespace quill {
namespace {

std::unique_ptr<Alias>& instance() {
    static std::unique_ptr<Alias> alias;
    return alias;
}

}  // namespace

Alias& Alias::shared() {
    if (!instance()) instance() = std::make_unique<Alias>();
    return *instance();
}

void Alias::resetShared() { instance() = std::make_unique<Alias>(); }

Alias::Alias() = default;

Alias::~Alias() {
    if (m_thread.joinable()) m_thread.join();
}

void Alias::forkedInitialize() {
    if (!m_started) forkedInitialize(AliasSources::fromDefaults());
}

void Alias::forkedInitialize(AliasSources sources) {
    if (m_started) return;
    m_started = true;
    m_sources = std::move(sources);
    m_private = std::make_unique<PrivateAliases>(m_book, m_sources.privateFile);
    // The thread takes no signal meant for the main thread's handlers.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    m_thread = std::thread([this] { run(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void Alias::run() {
    std::lock_guard<std::mutex> lock(m_mutex);
    lowerPriority();
    AliasLoader(m_book, m_sources).load();
    m_loaded.store(true, std::memory_order_release);
    m_done.notify_all();
}

// Halves the thread's priority: half way from its niceness to the lowest.
void Alias::lowerPriority() {
    id_t self = static_cast<id_t>(::gettid());
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, self);
    if (nice == -1 && errno != 0) return;
    ::setpriority(PRIO_PROCESS, self, std::min(19, nice + (20 - nice) / 2));
}

void Alias::initialize() {
    if (loaded()) return;
    forkedInitialize();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return loaded(); });
}

AliasBook& Alias::book() {
    initialize();
    return m_book;
}

PrivateAliases& Alias::privateAliases() {
    initialize();
    return *m_private;
}

}  // namespace quill

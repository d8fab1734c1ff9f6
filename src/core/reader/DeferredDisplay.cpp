#include "reader/DeferredDisplay.h"

#include <utility>

namespace quill {

DeferredDisplay::DeferredDisplay(RunLoop& loop, std::function<void()> show,
                                 std::chrono::milliseconds wait)
    : m_loop(loop), m_show(std::move(show)), m_wait(wait) {}

void DeferredDisplay::restart() {
    cancel();
    m_pending = m_loop.performAfter(m_wait, [this] { fire(); });
}

void DeferredDisplay::cancel() {
    if (m_pending) m_loop.cancel(*std::exchange(m_pending, std::nullopt));
}

bool DeferredDisplay::settle() {
    if (!m_pending) return false;
    cancel();
    m_show();
    return true;
}

void DeferredDisplay::fire() {
    m_pending.reset();
    m_show();
}

}  // namespace quill

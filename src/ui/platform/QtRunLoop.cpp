#include "ui/platform/QtRunLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

namespace quill {

QtRunLoop::QtRunLoop(QObject* parent) : QObject(parent) {}

QtRunLoop::~QtRunLoop() = default;

void QtRunLoop::dispatch(const Callback& fn) {
    fn();
    endOfEvent();
}

RunLoop::Id QtRunLoop::performAfter(std::chrono::milliseconds delay, Callback fn) {
    Id id = m_nextId++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, id, fn = std::move(fn)] {
        auto it = m_timers.find(id);
        if (it == m_timers.end()) return;
        it->second->deleteLater();
        m_timers.erase(it);
        dispatch(fn);
    });
    m_timers[id] = timer;
    timer->start(static_cast<int>(delay.count()));
    return id;
}

void QtRunLoop::cancel(Id id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

RunLoop::Id QtRunLoop::watchReadable(int fd, Callback fn) {
    Id id = m_nextId++;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this,
            [this, fn = std::move(fn)] { dispatch(fn); });
    m_watches[id] = notifier;
    return id;
}

void QtRunLoop::unwatch(Id id) {
    auto it = m_watches.find(id);
    if (it == m_watches.end()) return;
    it->second->setEnabled(false);
    it->second->deleteLater();
    m_watches.erase(it);
}

void QtRunLoop::post(Callback fn) {
    // Queued invocation is thread-safe and runs on this object's (the main) thread.
    QMetaObject::invokeMethod(
        this, [this, fn = std::move(fn)] { dispatch(fn); }, Qt::QueuedConnection);
}

bool QtRunLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;  // wakes the wait now and then to look at done() again
    connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start(10);
    while (!done() && clock.elapsed() < timeout.count()) {
        loop.exec(QEventLoop::AllEvents);
    }
    return done();
}

}  // namespace quill

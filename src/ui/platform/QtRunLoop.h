// QtRunLoop: the core's RunLoop served by the Qt event loop (QTimer,
// QSocketNotifier and queued calls), so core objects run inside the GUI.
#pragma once

#include <QObject>
#include <map>

#include "platform/RunLoop.h"

class QTimer;
class QSocketNotifier;

namespace quill {

class QtRunLoop : public QObject, public RunLoop {
    Q_OBJECT
  public:
    explicit QtRunLoop(QObject* parent = nullptr);
    ~QtRunLoop() override;

    Id performAfter(std::chrono::milliseconds delay, Callback fn) override;
    void cancel(Id id) override;
    Id watchReadable(int fd, Callback fn) override;
    void unwatch(Id id) override;
    void post(Callback fn) override;
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) override;

  private:
    void dispatch(const Callback& fn);

    Id m_nextId = 1;
    std::map<Id, QTimer*> m_timers;
    std::map<Id, QSocketNotifier*> m_watches;
};

}  // namespace quill

// ListFindRunner: runs a find in a mailbox window's message list in slices
// from the event loop, so the window keeps drawing during a long search. It
// reports progress, and a "." typed while it runs (or interrupt()) stops the
// search with the matches found so far.
#pragma once

#include <QObject>
#include <QTimer>

#include "reader/MailFinder.h"

namespace quill {

class MailReader;

class ListFindRunner : public QObject {
    Q_OBJECT
  public:
    ListFindRunner(MailReader& reader, QObject* parent = nullptr);
    ~ListFindRunner() override;

    // Starts a search, interrupting one still running; false when there was
    // nothing to search for (finished has been sent then).
    bool start(const FindOptions& options, bool forward, bool all, bool focusHeld);
    void interrupt() { m_finder.interrupt(); }
    bool running() const { return m_finder.running(); }
    const MailFinder& finder() const { return m_finder; }

  signals:
    void progress(double fraction);
    void finished(const QString& status, bool failed);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void stepOnce();
    void done();

    MailFinder m_finder;
    QTimer m_timer;
};

}  // namespace quill

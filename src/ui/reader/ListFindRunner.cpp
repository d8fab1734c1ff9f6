#include "ui/reader/ListFindRunner.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "ui/platform/QtText.h"

namespace quill {
namespace {

// A slice short enough that drawing and typing stay smooth.
constexpr std::chrono::milliseconds kSlice(30);

}  // namespace

ListFindRunner::ListFindRunner(MailReader& reader, QObject* parent)
    : QObject(parent), m_finder(reader) {
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &ListFindRunner::stepOnce);
}

ListFindRunner::~ListFindRunner() { qApp->removeEventFilter(this); }

bool ListFindRunner::start(const FindOptions& options, bool forward, bool all, bool focusHeld) {
    if (running()) {
        m_finder.interrupt();
        m_finder.finish();
    }
    if (!m_finder.begin(options, forward, all, focusHeld)) {
        done();
        return false;
    }
    qApp->installEventFilter(this);
    stepOnce();
    if (running()) m_timer.start();
    return true;
}

void ListFindRunner::stepOnce() {
    if (!m_finder.step(kSlice)) {
        emit progress(m_finder.fraction());
        return;
    }
    m_timer.stop();
    qApp->removeEventFilter(this);
    done();
}

void ListFindRunner::done() {
    emit progress(1.0);
    emit finished(latin1Text(m_finder.status()), m_finder.failed());
}

bool ListFindRunner::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    bool inWindow = widget && widget->window() == parent();
    if (inWindow && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->text() == ".") {
        m_finder.interrupt();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quill

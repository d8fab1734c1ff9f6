#include "ui/app/StartupMeasure.h"

#include <time.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace quill {
namespace {

constexpr const char* kSwitch = "--measure-startup";
constexpr int kPageSteps = 200;

// Milliseconds since the kernel started this process (its start time is
// kept in clock ticks since boot, so this is good to a tick).
double millisecondsSinceProcessStart() {
    std::ifstream in("/proc/self/stat");
    std::string field;
    for (int i = 0; i < 22 && in >> field; ++i) {
    }
    double started = std::atof(field.c_str()) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return (static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 - started) *
           1e3;
}

double threadCpuMilliseconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

long residentKilobytes() {
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

bool StartupMeasure::requested(int& argc, char** argv) {
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kSwitch) != 0) continue;
        std::copy(argv + i + 1, argv + argc + 1, argv + i);
        --argc;
        asked = true;
    }
    const char* env = std::getenv("QUILL_MEASURE_STARTUP");
    return asked || (env && *env && std::strcmp(env, "0") != 0);
}

// The first paint of a message list's rows ends the start-up; the report
// runs once that paint is done.
bool StartupMeasure::eventFilter(QObject* watched, QEvent* event) {
    if (m_painted || event->type() != QEvent::Paint) return false;
    if (!m_rebuildShown && watched->inherits("quill::MailboxOpeningWindow")) {
        m_rebuildShown = true;
        std::printf("startup: %.0f ms to the window showing the index rebuild\n",
                    millisecondsSinceProcessStart());
        return false;
    }
    auto* list = qobject_cast<QAbstractItemView*>(watched->parent());
    // A column header is an item view too, over the same model.
    if (!list || qobject_cast<QHeaderView*>(list) || list->viewport() != watched ||
        !list->model()) {
        return false;
    }
    m_painted = true;
    double startup = millisecondsSinceProcessStart();
    std::printf("startup: %.0f ms to the first painted message list (%d messages)\n", startup,
                list->model()->rowCount());
    std::printf("resident at first paint: %ld KB\n", residentKilobytes());
    QTimer::singleShot(0, this, [this, list] {
        // A picture of the window as first shown, to look at what was measured.
        if (const char* picture = std::getenv("QUILL_MEASURE_PICTURE"); picture && *picture)
            list->window()->grab().save(QString::fromLocal8Bit(picture));
        measure(list);
    });
    return false;
}

// One key press and the repaint it causes: the wall-clock time and the
// processor time of this thread (on a busy machine the first includes waiting
// for a processor).
StartupMeasure::Step StartupMeasure::step(QAbstractItemView* list, int key) {
    QElapsedTimer timer;
    timer.start();
    double cpu = threadCpuMilliseconds();
    press(list, key);
    list->viewport()->repaint();
    finishEvent();
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6, threadCpuMilliseconds() - cpu};
}

// What the event loop does after an event before it waits for the next:
// posted events, and the objects whose deletion they leave for then.
void StartupMeasure::finishEvent() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void StartupMeasure::press(QAbstractItemView* list, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(list, &event);
}

// A click on the row in the middle of the list shows its message at once:
// the time to the repainted window is what showing a message costs.
StartupMeasure::Step StartupMeasure::click(QAbstractItemView* list) {
    QElapsedTimer timer;
    timer.start();
    double cpu = threadCpuMilliseconds();
    QPointF at(list->viewport()->width() / 2.0, list->viewport()->height() / 2.0);
    QPointF global = list->viewport()->mapToGlobal(at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, global, Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &event);
    }
    list->window()->repaint();
    finishEvent();
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6, threadCpuMilliseconds() - cpu};
}

void StartupMeasure::measure(QAbstractItemView* list) {
    list->setFocus();
    std::vector<int> keys(kPageSteps, Qt::Key_PageDown);
    keys.insert(keys.begin(), Qt::Key_Home);
    keys.push_back(Qt::Key_End);
    Step slowest;
    for (int key : keys) slowest = slowest.max(step(list, key));
    std::printf("scrolling: slowest of %zu Home/PageDown/End steps %.2f ms (%.2f ms processor)\n",
                keys.size(), slowest.wall, slowest.cpu);
    // As many messages shown again, a page apart, each by a click.
    press(list, Qt::Key_Home);
    Step slowestShown;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        press(list, Qt::Key_PageDown);
        slowestShown = slowestShown.max(click(list));
    }
    std::printf("showing: slowest of %zu messages shown by a click %.2f ms (%.2f ms processor)\n",
                keys.size(), slowestShown.wall, slowestShown.cpu);
    std::printf("resident after scrolling: %ld KB\n", residentKilobytes());
    std::fflush(stdout);
    QApplication::exit(0);
}

}  // namespace quill

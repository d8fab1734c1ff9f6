#include "ui/app/StartupMeasure.h"

#include <time.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
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
    if (!list || list->viewport() != watched || !list->model()) return false;
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
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(list, &press);
    list->viewport()->repaint();
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6, threadCpuMilliseconds() - cpu};
}

void StartupMeasure::measure(QAbstractItemView* list) {
    list->setFocus();
    std::vector<int> keys(kPageSteps, Qt::Key_PageDown);
    keys.insert(keys.begin(), Qt::Key_Home);
    keys.push_back(Qt::Key_End);
    Step slowest;
    for (int key : keys) {
        Step s = step(list, key);
        slowest = {std::max(slowest.wall, s.wall), std::max(slowest.cpu, s.cpu)};
    }
    std::printf("scrolling: slowest of %zu Home/PageDown/End steps %.2f ms (%.2f ms processor)\n",
                keys.size(), slowest.wall, slowest.cpu);
    std::printf("resident after scrolling: %ld KB\n", residentKilobytes());
    std::fflush(stdout);
    QApplication::exit(0);
}

}  // namespace quill

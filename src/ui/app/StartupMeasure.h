// StartupMeasure: what `Quill --measure-startup` (or QUILL_MEASURE_STARTUP=1)
// reports. It waits for the first message list to be painted, prints the time
// since the process started and the resident memory, then steps through the
// list with Home, PageDown and End, repainting after each key, prints the
// slowest step and the resident memory again, and quits. Meant to run
// offscreen on a large mailbox; for a mailbox whose index is rebuilt first it
// also reports when the window showing the rebuild painted.
// QUILL_MEASURE_PICTURE names a PNG file that receives the window as first
// painted.
#pragma once

#include <QObject>

class QAbstractItemView;

namespace quill {

class StartupMeasure : public QObject {
  public:
    using QObject::QObject;

    // Whether the measurement was asked for; takes the switch out of argv.
    static bool requested(int& argc, char** argv);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Step {
        double wall = 0;
        double cpu = 0;
    };
    void measure(QAbstractItemView* list);
    Step step(QAbstractItemView* list, int key);

    bool m_painted = false;
    bool m_rebuildShown = false;
};

}  // namespace quill

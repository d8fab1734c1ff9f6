#include "reader/BackgroundCompaction.h"

#include "platform/Localized.h"
#include "store/Compaction.h"

namespace quill {
namespace {

constexpr std::chrono::milliseconds kPollInterval(50);

}  // namespace

BackgroundCompaction::BackgroundCompaction(Compaction& compaction, Panels& panels, RunLoop& loop,
                                           Done done)
    : m_loop(loop), m_done(std::move(done)) {
    m_panel = panels.beginProgress(localized(kAlertsTable, "Compact"),
                                   localized(kUITable, "Compacting mailbox file"), true);
    m_worker = std::thread([this, &compaction] {
        m_status = compaction.writeMailFile([this](double fraction) {
            m_fraction = fraction;
            return !m_cancel.load();
        });
        m_finished = true;
    });
    m_timer = m_loop.performAfter(kPollInterval, [this] { poll(); });
}

BackgroundCompaction::~BackgroundCompaction() {
    m_cancel = true;
    if (m_timer) m_loop.cancel(m_timer);
    if (m_worker.joinable()) m_worker.join();
}

void BackgroundCompaction::poll() {
    m_timer = 0;
    if (m_panel) {
        m_panel->setFraction(m_fraction);
        if (m_panel->cancelled()) m_cancel = true;
    }
    if (!m_finished) {
        m_timer = m_loop.performAfter(kPollInterval, [this] { poll(); });
        return;
    }
    m_worker.join();
    // A Cancel that came as the copy ended still leaves the old files.
    if (m_cancel && m_status.ok()) m_status = Status::failure(Status::kCancelled, "");
    m_panel.reset();
    Done done = std::move(m_done);
    done(m_status);
}

}  // namespace quill

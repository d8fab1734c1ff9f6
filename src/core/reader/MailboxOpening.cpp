#include "reader/MailboxOpening.h"

#include <fcntl.h>

#include <mutex>
#include <vector>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "platform/Localized.h"
#include "reader/MailReader.h"

namespace quill {
namespace {

constexpr std::chrono::milliseconds kPollInterval(50);
// Below this a rebuild takes a few milliseconds: done at once, as before,
// rather than a window that is replaced as soon as it shows.
constexpr std::int64_t kWorkerRebuildBytes = 1 << 20;

std::atomic<std::int64_t>& stepDelay() {
    static std::atomic<std::int64_t> microseconds = 0;
    return microseconds;
}

}  // namespace

// The mailbox's failures while the worker has it: held, since only the main
// thread may tell the user, and told there in the order they came.
class MailboxOpening::HeldReports {
  public:
    explicit HeldReports(std::function<void(const Status&)> tell) : m_tell(std::move(tell)) {}
    void report(const Status& status) {
        {
            std::lock_guard lock(m_mutex);
            if (m_holding) {
                m_held.push_back(status);
                return;
            }
        }
        if (m_tell) m_tell(status);
    }
    void hold() {
        std::lock_guard lock(m_mutex);
        m_holding = true;
    }
    // Tells what was held, or drops it after the user's own cancel.
    void release(bool tell) {
        std::vector<Status> held;
        {
            std::lock_guard lock(m_mutex);
            m_holding = false;
            held.swap(m_held);
        }
        if (!tell) return;
        for (const Status& status : held) report(status);
    }

  private:
    std::function<void(const Status&)> m_tell;
    std::mutex m_mutex;
    bool m_holding = false;
    std::vector<Status> m_held;
};

MailboxOpening::MailboxOpening(std::string path, const MailContext& context, NewMailNotice& newMail)
    : m_path(std::move(path)),
      m_held(std::make_shared<HeldReports>(context.report)),
      m_context(context),
      m_newMail(newMail) {
    m_context.report = [held = m_held](const Status& status) { held->report(status); };
}

MailboxOpening::~MailboxOpening() { stopWorker(); }

void MailboxOpening::slowScanForTesting(std::chrono::microseconds perStep) {
    stepDelay() = perStep.count();
}

void MailboxOpening::start() {
    m_mailbox = MailBox::openUnindexed(m_path, m_context);
    if (!m_mailbox) {
        m_state = State::Failed;
        return;
    }
    if (m_mailbox->mailLength() < kWorkerRebuildBytes && stepDelay() == 0) {
        finish(m_mailbox->loadIndex());
        return;
    }
    readOldHeader();
    if (m_mailbox->loadCurrentIndex()) {
        finish(true);
    } else {
        startRebuild();
    }
}

// Read before anything can replace the index: a stale index still knows
// where its window stood.
void MailboxOpening::readOldHeader() {
    char raw[tocformat::kHeaderSize];
    UniqueFd index = openFile(m_mailbox->dirname() + "/table_of_contents", O_RDONLY);
    if (index && readAllAt(index.get(), raw, sizeof raw, 0)) {
        m_oldHeader = tocformat::decodeHeader(raw);
        m_oldHeaderRead = m_oldHeader.magic == tocformat::kMagic;
    }
}

void MailboxOpening::startRebuild() {
    m_state = State::Rebuilding;
    m_rebuild.progress = this;
    m_rebuild.settings = scanSettingsFrom(m_context.defaults, false);
    m_held->hold();
    m_worker = std::thread([this] {
        m_rebuilt = m_mailbox->rebuildIndex(m_rebuild);
        m_finished = true;
    });
    m_timer = m_context.runLoop.performAfter(kPollInterval, [this] { poll(); });
}

void MailboxOpening::setFraction(double fraction) {
    m_fraction = fraction;
    if (std::int64_t delay = stepDelay()) {
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
    }
}

void MailboxOpening::poll() {
    m_timer = 0;
    if (!m_finished) {
        if (m_hooks.progress) m_hooks.progress(m_fraction);
        m_timer = m_context.runLoop.performAfter(kPollInterval, [this] { poll(); });
        return;
    }
    m_worker.join();
    // A Cancel that came as the scan ended still leaves the mailbox unopened.
    m_held->release(!m_cancel);
    if (m_cancel) {
        m_mailbox.reset();
        m_state = State::Cancelled;
    } else {
        finish(m_rebuilt);
    }
    // The hook may replace the hooks, itself among them.
    std::function<void()> finished = m_hooks.finished;
    if (finished) finished();
}

void MailboxOpening::finish(bool indexLoaded) {
    if (!indexLoaded || !m_mailbox->finishOpening(m_path)) {
        m_mailbox.reset();
        m_state = State::Failed;
        return;
    }
    m_reader = MailReader::adopt(std::move(m_mailbox), m_path, m_newMail);
    m_state = State::Opened;
}

void MailboxOpening::stopWorker() {
    m_cancel = true;
    if (m_timer) m_context.runLoop.cancel(m_timer);
    m_timer = 0;
    if (m_worker.joinable()) m_worker.join();
    m_held->release(false);
}

bool MailboxOpening::recordedFrame(tocformat::WindowFrame& frame, float& tocHeight) const {
    tocformat::WindowFrame none;
    return MailReader::openingFrame(m_oldHeaderRead ? m_oldHeader.frame : none,
                                    m_oldHeaderRead ? m_oldHeader.tocHeight : 0, frame, tocHeight);
}

std::string MailboxOpening::rebuildMessage() const {
    std::string name = m_mailbox ? m_mailbox->dirname() : m_path;
    return formatString(
        localized(kAlertsTable, "Rebuilding table of contents for %s.  Please wait...").c_str(),
        name.c_str());
}

std::unique_ptr<MailReader> MailboxOpening::takeReader() { return std::move(m_reader); }

void MailboxOpening::orderFront() {
    if (m_hooks.orderFront) m_hooks.orderFront();
}

void MailboxOpening::closeWindow() {
    std::function<void()> close = m_hooks.close;
    if (close) {
        close();
    } else {
        abandon();
    }
}

void MailboxOpening::abandon() {
    if (m_state != State::Rebuilding) return;
    stopWorker();
    m_mailbox.reset();
    m_state = State::Cancelled;
}

}  // namespace quill

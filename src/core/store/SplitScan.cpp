#include "store/SplitScan.h"

#include <algorithm>
#include <chrono>

#include "base/Diagnostics.h"

namespace quill {

using namespace tocformat;

namespace {

// How often a caller waiting for the worker reports progress (and may stop).
constexpr auto kWaitStep = std::chrono::milliseconds(50);

}  // namespace

SplitScan::SplitScan(MboxWindow& mbox, ScanSettings settings)
    : m_mbox(mbox), m_settings(std::move(settings)) {}

SplitScan::~SplitScan() { stopWorker(); }

std::size_t SplitScan::splitPoint(std::size_t start, std::size_t size) {
    if (size < start || size - start < kMinimumSplit || std::thread::hardware_concurrency() < 2) {
        return std::string_view::npos;
    }
    return start + (size - start) / 2;
}

int SplitScan::appendRecords(std::string_view mbox, const ScanSettings& settings, std::size_t split,
                             std::string& out) {
    int count = 0;
    Receiver receiver;
    receiver.message = [&](ScannedMessage& msg) {
        appendRecord(out, msg.record);
        return ++count > 0;
    };
    receiver.records = [&](std::string_view records, int n) {
        out.append(records);
        count += n;
        return true;
    };
    receiver.progress = [](std::size_t) { return true; };
    MboxWindow window(mbox);
    SplitScan(window, settings).run(0, split, receiver);
    return count;
}

bool SplitScan::run(std::size_t start, std::size_t split, const Receiver& receiver) {
    MboxScanner scanner(m_mbox, m_settings);
    bool more = scanner.seekFirst(start);
    if (more && split != std::string_view::npos && split > start) startWorker(split);
    ScannedMessage msg;
    while (more) {
        std::size_t pos = scanner.position();
        if (!receiver.progress(pos - std::min(pos, start) + m_secondDone)) return false;
        if (!scanner.next(msg)) break;
        if (!receiver.message(msg)) return false;
        pos = scanner.position();
        more = pos != std::string_view::npos;
        if (more && m_second && pos >= m_secondStart) {
            int taken = handOver(pos, scanner.lastDate(), receiver);
            if (taken != 0) return taken > 0;
        }
    }
    return true;
}

// The worker's scanner is made here, on the caller's thread, since making it
// reads the settings.
void SplitScan::startWorker(std::size_t split) {
    std::size_t from = m_mbox.findFromLine(split - 1);
    if (from == std::string_view::npos) return;
    m_secondStart = from + 1;
    m_secondWindow = m_mbox.twin();
    m_second = std::make_unique<MboxScanner>(*m_secondWindow, m_settings);
    if (!m_second->seekFirst(m_secondStart)) {
        m_second.reset();
        return;
    }
    m_thread = std::thread([this] { scanSecondHalf(); });
}

void SplitScan::scanSecondHalf() {
    std::size_t current = m_secondStart;
    setThreadLogSink(
        [this, &current](const std::string& line) { m_lines.emplace_back(current, line); });
    ScannedMessage msg;
    while (!m_stop && (current = m_second->position()) != std::string_view::npos &&
           m_second->next(msg)) {
        int held = -1;
        if (msg.hasReference) {
            held = static_cast<int>(m_held.size());
            m_held.push_back(msg);
        } else {
            appendRecord(m_records, msg.record);
        }
        m_entries.push_back({current, m_records.size(), held, msg.dated});
        std::size_t pos = m_second->position();
        m_secondDone =
            (pos == std::string_view::npos ? m_secondWindow->size() : pos) - m_secondStart;
    }
    setThreadLogSink(nullptr);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_finished = true;
    m_finishedChanged.notify_all();
}

void SplitScan::stopWorker() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

bool SplitScan::waitForWorker(std::size_t done, const Receiver& receiver) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_finishedChanged.wait_for(lock, kWaitStep, [this] { return m_finished; })) {
        lock.unlock();
        bool goOn = receiver.progress(done + m_secondDone);
        lock.lock();
        if (!goOn) return false;
    }
    return true;
}

int SplitScan::handOver(std::size_t pos, std::uint32_t lastDate, const Receiver& receiver) {
    // Joined already when a Content-Length carried the first scan past the
    // worker's start and an earlier hand-over found no common message start.
    if (m_thread.joinable()) {
        if (!waitForWorker(pos - m_secondStart, receiver)) return -1;
        m_thread.join();
    }
    auto it = std::lower_bound(m_entries.begin(), m_entries.end(), pos,
                               [](const Entry& e, std::size_t p) { return e.offset < p; });
    if (it == m_entries.end() || it->offset != pos) return 0;
    auto first = static_cast<std::size_t>(it - m_entries.begin());
    std::size_t runStart = first;  // the records not yet passed on
    for (std::size_t i = first; i < m_entries.size(); ++i) {
        if (!handOverEntry(i, runStart, lastDate, receiver)) return -1;
    }
    return passRecords(runStart, m_entries.size(), receiver) ? 1 : -1;
}

// Replays the log lines of one worker message and gives it its date: an
// undated one takes `lastDate`, a dated one sets it for those after it. Its
// encoded record joins the run from `runStart`, passed on in one piece; a
// held message is passed on by itself after the run before it.
bool SplitScan::handOverEntry(std::size_t i, std::size_t& runStart, std::uint32_t& lastDate,
                              const Receiver& receiver) {
    const Entry& e = m_entries[i];
    auto line = std::lower_bound(
        m_lines.begin(), m_lines.end(), e.offset,
        [](const std::pair<std::size_t, std::string>& l, std::size_t p) { return l.first < p; });
    for (; line != m_lines.end() && line->first == e.offset; ++line) logRaw(line->second);
    if (e.held < 0) {
        char* record = m_records.data() + recordBegin(i);
        if (e.dated) lastDate = getU32(record + kDateOffset);
        putU32(record + kDateOffset, lastDate);
        return true;
    }
    if (!passRecords(runStart, i, receiver)) return false;
    runStart = i + 1;
    ScannedMessage& msg = m_held[static_cast<std::size_t>(e.held)];
    if (e.dated) lastDate = msg.record.date;
    msg.record.date = lastDate;
    return receiver.message(msg);
}

// Where entry i's record begins in m_records (a held entry's is empty).
std::size_t SplitScan::recordBegin(std::size_t i) const {
    return i == 0 ? 0 : m_entries[i - 1].recordEnd;
}

// Passes on the records of entries [from, to) in one piece.
bool SplitScan::passRecords(std::size_t from, std::size_t to, const Receiver& receiver) {
    if (from >= to) return true;
    std::size_t begin = recordBegin(from), end = m_entries[to - 1].recordEnd;
    return receiver.records(std::string_view(m_records.data() + begin, end - begin),
                            static_cast<int>(to - from));
}

}  // namespace quill

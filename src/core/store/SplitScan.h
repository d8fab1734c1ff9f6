// SplitScan: the scan that indexes a large "mbox", on two threads. A worker
// scans from the first "From " line past the middle while the caller scans
// from the start. Where the caller's scan reaches a message start the worker
// also found, the worker's records are taken over from there on; scanning
// from a message start does not depend on what came before it, except for
// the date an undated message inherits, which is filled in at the hand-over.
// So the records come out exactly as one scan from the start gives them,
// even when a Content-Length carries the first scan past the middle.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "store/MboxScanner.h"

namespace quill {

class SplitScan {
  public:
    struct Receiver {
        // A message in scan order that the caller encodes (it may need work
        // only the caller's thread can do, such as fixing an attachment).
        std::function<bool(ScannedMessage&)> message;
        // The next `count` records in scan order, already encoded, one after
        // the other: a run of the worker's is passed on whole.
        std::function<bool(std::string_view records, int count)> records;
        // Bytes scanned so far; false stops the scan.
        std::function<bool(std::size_t done)> progress;
    };

    // Below this many bytes a second thread does not pay for itself.
    static constexpr std::size_t kMinimumSplit = 16 << 20;

    SplitScan(MboxWindow& mbox, ScanSettings settings);
    ~SplitScan();
    SplitScan(const SplitScan&) = delete;
    SplitScan& operator=(const SplitScan&) = delete;

    // Scans from the first "From " at or after `start` to the end, the
    // worker taking over from the first message that begins at or after
    // `split` (no worker when that is npos or there is none). False when the
    // receiver refused a message or the scan was stopped.
    bool run(std::size_t start, std::size_t split, const Receiver& receiver);

    // Appends the records of an "mbox" held in memory to `out`, encoded one
    // after the other, the worker starting at `split` (npos: one scan);
    // answers their number.
    static int appendRecords(std::string_view mbox, const ScanSettings& settings, std::size_t split,
                             std::string& out);

    // Where run should split the bytes from `start`: the middle, or npos when
    // there are too few of them or only one processor.
    static std::size_t splitPoint(std::size_t start, std::size_t size);

  private:
    // One message the worker found.
    struct Entry {
        std::size_t offset;     // where the message begins in "mbox"
        std::size_t recordEnd;  // end of its encoded record in m_records
        int held;               // index in m_held, or -1 when it is in m_records
        bool dated;             // else it takes the date of the message before it
    };

    void startWorker(std::size_t split);
    void scanSecondHalf();
    void stopWorker();
    bool waitForWorker(std::size_t done, const Receiver& receiver);
    // 1 when the rest came from the worker, 0 when `pos` is none of its
    // message starts, -1 when the receiver refused or stopped.
    int handOver(std::size_t pos, std::uint32_t lastDate, const Receiver& receiver);
    bool handOverEntry(std::size_t i, std::size_t& runStart, std::uint32_t& lastDate,
                       const Receiver& receiver);
    std::size_t recordBegin(std::size_t i) const;
    bool passRecords(std::size_t from, std::size_t to, const Receiver& receiver);

    MboxWindow& m_mbox;
    ScanSettings m_settings;

    std::unique_ptr<MboxWindow> m_secondWindow;
    std::unique_ptr<MboxScanner> m_second;
    std::size_t m_secondStart = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_secondDone{0};
    std::mutex m_mutex;
    std::condition_variable m_finishedChanged;
    bool m_finished = false;
    std::vector<Entry> m_entries;
    std::string m_records;
    std::vector<ScannedMessage> m_held;
    std::vector<std::pair<std::size_t, std::string>> m_lines;  // message offset, log line
};

}  // namespace quill

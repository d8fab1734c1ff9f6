// The mailbox store on generated mailboxes of 10k and 100k messages, each
// beside the yardstick it is judged against in the same run:
//   rebuilding the index        vs  a plain memchr count of "\nFrom " lines
//   opening with a valid index  vs  reading the index file into memory
//   messageAt:containsRegExpr:  vs  reading each message and one regexec on it
// Ratios are what matter; these machines are too noisy for absolute times.
// QUILL_BENCH_SIZES lists the mailbox sizes (default "10000,100000"); with
// QUILL_BENCH_DIR naming a directory the mailboxes are kept there, so a
// million-message mailbox is generated once:
//   QUILL_BENCH_DIR=/big/disk QUILL_BENCH_SIZES=1000000 bench_store
// The index keeps 32-bit offsets, so a mailbox beyond 2 GB cannot be indexed;
// QUILL_BENCH_TEXT_ONLY=1 makes short plain-text messages to keep a million
// messages within that.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <regex.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/FileHandles.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"
#include "support/MailboxGenerator.h"
#include "support/RatioSummary.h"
#include "support/procfs.h"

namespace {

using namespace quill;

const char* kPattern = "quarterly budget|^Subject: .*printer minutes";

std::string tocOf(const std::string& box) { return box + "/table_of_contents"; }

std::unique_ptr<MailBox> openBox(const std::string& box) {
    auto mailbox =
        MailBox::newMailBox(box, interactiveMailContext(Defaults::shared(), panels(), runLoop()));
    if (!mailbox) throw std::runtime_error("cannot open " + box);
    return mailbox;
}

long residentBytes() {
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

long heapBytes() {
    struct mallinfo2 m = ::mallinfo2();
    return static_cast<long>(m.uordblks + m.hblkhd);
}

void YardstickMemchrFromCount(benchmark::State& state) {
    std::string mbox = bench::benchMailbox(static_cast<int>(state.range(0))) + "/mbox";
    std::unique_ptr<char[]> buf(new char[4 << 20]);
    long count = 0;
    for (auto _ : state) {
        UniqueFd fd = openFile(mbox, O_RDONLY);
        count = 0;
        std::size_t carry = 0;
        ssize_t n;
        while ((n = ::read(fd.get(), buf.get() + carry, (4 << 20) - carry)) > 0) {
            const char* end = buf.get() + carry + n;
            const char* p = buf.get();
            while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p)))) {
                if (end - p < 6) break;
                count += std::memcmp(p + 1, "From ", 5) == 0;
                ++p;
            }
            carry = p ? static_cast<std::size_t>(end - p) : 0;
            std::memmove(buf.get(), end - carry, carry);
        }
        benchmark::DoNotOptimize(count);
    }
    state.counters["messages"] = static_cast<double>(count + 1);
}

void RebuildIndex(benchmark::State& state) {
    std::string box = bench::benchMailbox(static_cast<int>(state.range(0)));
    std::uint32_t count = 0;
    for (auto _ : state) {
        ::unlink(tocOf(box).c_str());
        count = openBox(box)->toc().length();
    }
    state.counters["messages"] = count;
}

void YardstickReadIndex(benchmark::State& state) {
    std::string box = bench::benchMailbox(static_cast<int>(state.range(0)));
    openBox(box);  // makes sure the index is valid
    std::size_t size = 0;
    for (auto _ : state) {
        // One read into a fresh buffer of the file's size: the least any opening must do.
        UniqueFd fd = openFile(tocOf(box), O_RDONLY);
        size = static_cast<std::size_t>(::lseek(fd.get(), 0, SEEK_END));
        std::unique_ptr<char[]> bytes(new char[size]);
        benchmark::DoNotOptimize(::pread(fd.get(), bytes.get(), size, 0));
    }
    state.counters["index_bytes"] = static_cast<double>(size);
}

void OpenWithValidIndex(benchmark::State& state) {
    std::string box = bench::benchMailbox(static_cast<int>(state.range(0)));
    openBox(box);
    std::string index;
    readFile(tocOf(box), index);
    double rssPerMessage = 0, heapPerMessage = 0, extraRead = 0;
    for (auto _ : state) {
        state.PauseTiming();
        long rss = residentBytes(), heap = heapBytes();
        long read = bench::procValue("/proc/self/io", "rchar:");
        state.ResumeTiming();
        auto mailbox = openBox(box);
        const MsgList& list = mailbox->getMsgList();
        benchmark::DoNotOptimize(list.data());
        state.PauseTiming();
        double n = static_cast<double>(list.count());
        extraRead = static_cast<double>(bench::procValue("/proc/self/io", "rchar:") - read) -
                    static_cast<double>(index.size());
        rssPerMessage = static_cast<double>(residentBytes() - rss) / n;
        heapPerMessage = static_cast<double>(heapBytes() - heap) / n;
        mailbox.reset();
        state.ResumeTiming();
    }
    state.counters["rss_per_msg"] = rssPerMessage;
    state.counters["heap_per_msg"] = heapPerMessage;
    state.counters["read_beyond_index"] = extraRead;
}

void YardstickRegexecPerMessage(benchmark::State& state) {
    std::string box = bench::benchMailbox(static_cast<int>(state.range(0)));
    auto mailbox = openBox(box);
    UniqueFd fd = openFile(box + "/mbox", O_RDONLY);
    regex_t re;
    ::regcomp(&re, kPattern, REG_EXTENDED | REG_NEWLINE);
    std::string bytes;
    long hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (std::uint32_t i = 0; i < mailbox->toc().length(); ++i) {
            const TocEntry& e = mailbox->tocInfoAt(static_cast<int>(i));
            bytes.resize(static_cast<std::size_t>(e.length));
            benchmark::DoNotOptimize(::pread(fd.get(), bytes.data(), bytes.size(), e.offset));
            regmatch_t m[1];
            m[0].rm_so = 0;
            m[0].rm_eo = e.length;
            hits += ::regexec(&re, bytes.data(), 1, m, REG_STARTEND) == 0;
        }
    }
    ::regfree(&re);
    state.counters["hits"] = static_cast<double>(hits);
}

void MessageAtContainsRegExpr(benchmark::State& state) {
    std::string box = bench::benchMailbox(static_cast<int>(state.range(0)));
    auto mailbox = openBox(box);
    regex_t re;
    compileFindExpression(re, kPattern, REG_EXTENDED);
    long hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (std::uint32_t i = 0; i < mailbox->toc().length(); ++i) {
            hits += mailbox->messageAt(static_cast<int>(i), re);
        }
    }
    ::regfree(&re);
    state.counters["hits"] = static_cast<double>(hits);
}

std::vector<int> mailboxSizes() {
    const char* list = std::getenv("QUILL_BENCH_SIZES");
    std::istringstream in(list && *list ? list : "10000,100000");
    std::vector<int> out;
    for (std::string n; std::getline(in, n, ',');) out.push_back(std::atoi(n.c_str()));
    return out;
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int n : mailboxSizes()) b->Arg(n);
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

// A million messages may take half as long again to rebuild as the smaller
// mailboxes; everything else has the same goal at every size.
const bool kCompared = [] {
    for (int n : mailboxSizes()) {
        std::string size = "/" + std::to_string(n);
        bench::compareTimes("RebuildIndex" + size, "YardstickMemchrFromCount" + size,
                            n >= 1000000 ? 1.5 : 1.2);
        bench::compareTimes("OpenWithValidIndex" + size, "YardstickReadIndex" + size, 2.0);
    }
    return true;
}();

}  // namespace

BENCHMARK(YardstickMemchrFromCount)->Apply(sizes);
BENCHMARK(RebuildIndex)->Apply(sizes);
BENCHMARK(YardstickReadIndex)->Apply(sizes);
BENCHMARK(OpenWithValidIndex)->Apply(sizes);
BENCHMARK(YardstickRegexecPerMessage)->Apply(sizes);
BENCHMARK(MessageAtContainsRegExpr)->Apply(sizes);

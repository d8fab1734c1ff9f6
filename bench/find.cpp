// Find in the 100k-message mailbox. Over whole messages a plain word ignoring
// case is measured against `grep -ci` on the same "mbox", and a regular
// expression against reading each message and running one regexec on it;
// Find All over the summaries should take at most 50 ms.
#include <benchmark/benchmark.h>
#include <regex.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/MailDriver.h"
#include "base/FileHandles.h"
#include "reader/MailFinder.h"
#include "reader/MailReader.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"
#include "support/MailboxGenerator.h"
#include "support/RatioSummary.h"

namespace {

using namespace quill;

constexpr int kMessages = 100000;
constexpr const char* kWord = "Printer";
constexpr const char* kRegex = "kernel.*driver";

std::unique_ptr<MailReader> openBench() {
    std::unique_ptr<MailReader> reader = MailReader::open(
        bench::benchMailbox(kMessages), MailDriver::shared().mailContext(), MailDriver::shared());
    if (!reader) throw std::runtime_error("cannot open the benchmark mailbox");
    return reader;
}

void findAll(benchmark::State& state, const FindOptions& options) {
    Defaults::shared().setFoundDisplayDelay(-1);
    std::unique_ptr<MailReader> reader = openBench();
    for (auto _ : state) {
        MailFinder finder(*reader);
        finder.begin(options, true, true, false);
        finder.finish();
        state.counters["found"] = finder.matchCount();
    }
}

void FindWordInMessages(benchmark::State& state) { findAll(state, {kWord, true, false, true}); }

void GrepCountWord(benchmark::State& state) {
    // Into a file, not /dev/null, where grep would stop at the first match.
    std::string command = "grep -ci " + std::string(kWord) + " '" + bench::benchMailbox(kMessages) +
                          "/mbox' > '" + bench::scratchDir() + "/grep.out'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("grep failed");
    }
}

void FindRegexInMessages(benchmark::State& state) { findAll(state, {kRegex, true, true, true}); }

// The yardstick: each message read on its own and matched with one regexec.
void RegexecPerMessage(benchmark::State& state) {
    std::unique_ptr<MailReader> reader = openBench();
    MailBox& box = reader->mailbox();
    regex_t re;
    compileFindExpression(re, kRegex, REG_ICASE);
    int fd = fileno(box.mailFile());
    std::string bytes;
    for (auto _ : state) {
        int found = 0;
        for (int i = 0; i < static_cast<int>(box.toc().length()); ++i) {
            const TocEntry& e = box.tocInfoAt(i);
            bytes.resize(static_cast<std::size_t>(e.length));
            readAllAt(fd, bytes.data(), bytes.size(), e.offset);
            regmatch_t m[1] = {{0, static_cast<regoff_t>(bytes.size())}};
            found += ::regexec(&re, bytes.data(), 1, m, REG_STARTEND) == 0;
        }
        state.counters["found"] = found;
    }
    regfree(&re);
}

// Over the summaries: in a window opened afresh (the search loads every
// row's texts) and again once they are loaded, with the Unicode display off
// and on.
void FindWordInSummaries(benchmark::State& state) {
    Defaults::shared().setFoundDisplayDelay(-1);
    Defaults::shared().setUnicodeDisplay(state.range(0) != 0);
    bool loaded = state.range(1) != 0;
    std::unique_ptr<MailReader> reader;
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!loaded || !reader) {
            reader.reset();  // its lock goes before the mailbox opens again
            reader = openBench();
        }
        if (loaded) reader->matrix().loadAllCells();
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        MailFinder finder(*reader);
        finder.begin({kWord, true, false, false}, true, true, false);
        finder.finish();
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count();
    }
    state.counters["ms"] = total / static_cast<double>(state.iterations());
}

const bool kCompared = [] {
    bench::compareTimes("FindWordInMessages", "GrepCountWord", 1.2);
    bench::compareTimes("FindRegexInMessages", "RegexecPerMessage", 1.1);
    for (const char* name :
         {"unicode:0/loaded:0", "unicode:0/loaded:1", "unicode:1/loaded:0", "unicode:1/loaded:1"})
        bench::limitCounter(std::string("FindWordInSummaries/") + name, "ms", 50);
    return true;
}();

BENCHMARK(GrepCountWord)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FindWordInMessages)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RegexecPerMessage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FindRegexInMessages)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(FindWordInSummaries)
    ->ArgNames({"unicode", "loaded"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

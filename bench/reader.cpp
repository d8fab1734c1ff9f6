// Opening a mailbox window on generated mailboxes of 10k and 100k messages:
// the list is built and the texts of the rows a window first draws are
// loaded, with the Unicode display on (each drawn row's sender and subject
// decoded from its message's headers) against the yardstick of the display
// off (the list records' texts). Sorting by subject loads every row, so it is
// measured both ways too.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "app/MailDriver.h"
#include "reader/MailReader.h"
#include "settings/Defaults.h"
#include "support/MailboxGenerator.h"
#include "support/RatioSummary.h"

namespace {

using namespace quill;

constexpr int kRowsDrawn = 40;

void OpenMailboxWindow(benchmark::State& state) {
    std::string box = bench::benchMailbox(static_cast<int>(state.range(0)));
    Defaults::shared().setUnicodeDisplay(state.range(1) != 0);
    MailReader::open(box, MailDriver::shared().mailContext(), MailDriver::shared())
        .reset();  // the index is built once, outside the timing
    for (auto _ : state) {
        std::unique_ptr<MailReader> reader =
            MailReader::open(box, MailDriver::shared().mailContext(), MailDriver::shared());
        if (!reader) throw std::runtime_error("cannot open " + box);
        for (int row = 0; row < kRowsDrawn && row < reader->matrix().rowCount(); ++row)
            benchmark::DoNotOptimize(reader->matrix().loadedTextsAtRow(row).subject.size());
    }
}

const bool kCompared = [] {
    for (const char* size : {"10000", "100000"})
        bench::compareTimes(std::string("OpenMailboxWindow/messages:") + size + "/unicode:1",
                            std::string("OpenMailboxWindow/messages:") + size + "/unicode:0", 1.5);
    return true;
}();

BENCHMARK(OpenMailboxWindow)
    ->ArgNames({"messages", "unicode"})
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

namespace {

// Sorting by subject loads every row's texts.
void SortBySubject(benchmark::State& state) {
    std::string box = bench::benchMailbox(static_cast<int>(state.range(0)));
    Defaults::shared().setUnicodeDisplay(state.range(1) != 0);
    for (auto _ : state) {
        std::unique_ptr<MailReader> reader =
            MailReader::open(box, MailDriver::shared().mailContext(), MailDriver::shared());
        if (!reader) throw std::runtime_error("cannot open " + box);
        reader->matrix().sortBy(TocMatrix::SortKey::Subject);
    }
}

BENCHMARK(SortBySubject)
    ->ArgNames({"messages", "unicode"})
    ->ArgsProduct({{100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

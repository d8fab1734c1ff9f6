// Compaction of the 100k-message benchmark mailbox with every tenth message
// deleted, both files synced, beside the yardstick of copying its "mbox"
// into a new file with `dd bs=1M conv=fsync` in the same run. Each round
// starts from a fresh copy of the mailbox, made untimed.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"
#include "support/MailboxGenerator.h"
#include "support/RatioSummary.h"

namespace {

using namespace quill;
namespace fs = std::filesystem;

constexpr int kMessages = 100000;

std::string workBox() { return bench::scratchDir() + "/Compact.mbox"; }

// A fresh copy of the benchmark mailbox with its index.
void freshCopy() {
    std::string box = bench::benchMailbox(kMessages);
    fs::remove_all(workBox());
    fs::create_directory(workBox());
    for (const char* name : {"/mbox", "/table_of_contents"}) {
        if (fs::exists(box + name)) fs::copy_file(box + name, workBox() + name);
    }
}

std::unique_ptr<MailBox> openWork() {
    auto box = MailBox::newMailBox(workBox(),
                                   interactiveMailContext(Defaults::shared(), panels(), runLoop()));
    if (!box) throw std::runtime_error("cannot open " + workBox());
    return box;
}

void Compaction10PercentDeleted(benchmark::State& state) {
    std::uint32_t kept = 0;
    for (auto _ : state) {
        state.PauseTiming();
        freshCopy();
        std::unique_ptr<MailBox> box = openWork();
        std::vector<int> deleted;
        for (std::uint32_t i = 0; i < box->toc().length(); i += 10)
            deleted.push_back(static_cast<int>(i));
        box->deleteMessages(deleted);
        ::sync();
        state.ResumeTiming();
        int selected = -1;
        if (!box->compactMail(selected)) throw std::runtime_error("compaction failed");
        kept = box->toc().length();
    }
    state.counters["kept"] = kept;
}

void YardstickDdFsync(benchmark::State& state) {
    std::string mbox = bench::benchMailbox(kMessages) + "/mbox";
    std::string copy = bench::scratchDir() + "/dd-copy";
    std::string command = "dd if='" + mbox + "' of='" + copy + "' bs=1M conv=fsync status=none";
    for (auto _ : state) {
        state.PauseTiming();
        ::unlink(copy.c_str());
        ::sync();
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0) throw std::runtime_error("dd failed");
    }
    ::unlink(copy.c_str());
}

const bool kCompared = [] {
    bench::compareTimes("Compaction10PercentDeleted", "YardstickDdFsync", 1.2);
    return true;
}();

}  // namespace

BENCHMARK(YardstickDdFsync)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(Compaction10PercentDeleted)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

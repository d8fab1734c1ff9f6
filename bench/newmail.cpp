// New mail entering a mailbox, beside its yardstick in the same run:
//   incorporating a spool of generated messages  vs  copying the spool to a
//                                                     new file and fsync
// QUILL_BENCH_SPOOL_MESSAGES sets the spool's size (20,000 by default).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "newmail/Incorporation.h"
#include "platform/ConsolePanels.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "process/ProcessLauncher.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"
#include "support/MailboxGenerator.h"
#include "support/RatioSummary.h"

namespace {

using namespace quill;

int spoolMessages() {
    const char* n = std::getenv("QUILL_BENCH_SPOOL_MESSAGES");
    return n && *n ? std::atoi(n) : 20000;
}

// The generated spool, written once and copied into place before each step.
const std::string& spoolText() {
    static const std::string text = [] {
        std::string path = bench::scratchDir() + "/spool-source";
        bench::writeMailbox(path, spoolMessages(), 11);
        std::string bytes;
        readFile(path, bytes);
        ::unlink(path.c_str());
        return bytes;
    }();
    return text;
}

void writeFileSynced(const std::string& path, std::string_view bytes) {
    UniqueFd fd = openFile(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!fd || !writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

// An empty mailbox and a full spool, made fresh for each step.
struct Scene {
    std::string box = bench::scratchDir() + "/Incorporate.mbox";
    std::string spool = bench::scratchDir() + "/spool";
    void prepare() {
        ::mkdir(box.c_str(), 0755);
        writeFileSynced(box + "/mbox", "");
        ::unlink((box + "/table_of_contents").c_str());
        writeFileSynced(spool, spoolText());
    }
};

void IncorporateSpool(benchmark::State& state) {
    setLogSink([](const std::string&) {});
    installPanels(std::make_shared<ConsolePanels>(true));
    Scene scene;
    std::uint32_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        scene.prepare();
        std::unique_ptr<MailBox> box = MailBox::newMailBox(
            scene.box, interactiveMailContext(Defaults::shared(), panels(), runLoop()));
        state.ResumeTiming();
        bool atStart = false;
        if (!Incorporation::getNewMail(*box, &atStart, scene.spool, processLauncher())) {
            state.SkipWithError("incorporation failed");
            break;
        }
        count = box->toc().length();
    }
    state.counters["messages"] = count;
}

// What any safe copy must do: read the spool, write it out, make it durable.
void YardstickCopySpoolAndSync(benchmark::State& state) {
    Scene scene;
    std::string copy = bench::scratchDir() + "/spool-copy";
    std::string bytes;
    for (auto _ : state) {
        state.PauseTiming();
        scene.prepare();
        ::unlink(copy.c_str());
        state.ResumeTiming();
        readFile(scene.spool, bytes);
        writeFileSynced(copy, bytes);
    }
    ::unlink(copy.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * spoolText().size()));
}

const bool kCompared = [] {
    bench::compareTimes("IncorporateSpool", "YardstickCopySpoolAndSync", 2.0);
    return true;
}();

}  // namespace

BENCHMARK(YardstickCopySpoolAndSync)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(IncorporateSpool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

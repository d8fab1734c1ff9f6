// Writing mail, beside the yardstick it is judged against:
//   encoding a composed message with a large attachment (reading the file,
//   choosing the encoding, base64 in 76-column lines, into memory)
//                                         vs  coreutils "base64" over the same
//                                             file, its output collected
//                                             through a pipe into memory
// QUILL_BENCH_ATTACHMENT_MB sets the attachment's size (20 by default).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "message/MimeBodyBuilder.h"
#include "message/MimeMessage.h"
#include "process/RunCommand.h"
#include "richtext/TextView.h"
#include "support/RatioSummary.h"

namespace {

using namespace quill;

// A file of random bytes, made once and removed at exit.
const std::string& attachmentFile() {
    static const std::string path = [] {
        const char* mb = std::getenv("QUILL_BENCH_ATTACHMENT_MB");
        std::size_t n = static_cast<std::size_t>(mb && *mb ? std::atol(mb) : 20) << 20;
        std::string file = "/tmp/quill-bench-attachment-" + std::to_string(::getpid()) + ".bin";
        std::mt19937_64 rng(11);
        std::string bytes(n, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(n));
        std::atexit([] { ::unlink(attachmentFile().c_str()); });
        return file;
    }();
    return path;
}

void EncodeLargeAttachment(benchmark::State& state) {
    TextView view;
    view.replaceSel("The figures are attached.\n");
    view.replaceSelWithFile(attachmentFile());
    std::size_t written = 0;
    for (auto _ : state) {
        MimeMessage message;
        message.setHeaderKey("Subject", "Figures");
        MimeBodyBuilder::setBodyFromText(message, view);
        ByteSink sink;
        message.writeToStream(sink);
        written = sink.bytes().size();
    }
    state.counters["output_MB"] = static_cast<double>(written) / (1 << 20);
}

void YardstickCoreutilsBase64(benchmark::State& state) {
    std::size_t written = 0;
    for (auto _ : state) {
        ByteSink sink;
        RunCommand(processLauncher()).runPipeWithOutputTo({{"base64", attachmentFile()}}, sink);
        written = sink.bytes().size();
    }
    state.counters["output_MB"] = static_cast<double>(written) / (1 << 20);
}

const bool kCompared = [] {
    bench::compareTimes("EncodeLargeAttachment", "YardstickCoreutilsBase64", 1.5);
    return true;
}();

}  // namespace

BENCHMARK(YardstickCoreutilsBase64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(EncodeLargeAttachment)->Unit(benchmark::kMillisecond)->UseRealTime();

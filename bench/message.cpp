// The message model on a generated mailbox of 10k messages, each measure
// beside its yardstick in the same run:
//   choosing the class and reading every message  vs  memchr over every line
//   writing every message as a mailbox append     vs  copying its bytes
//   the wrapping writer over every body           vs  copying the bodies
// Ratios are what matter; these machines are too noisy for absolute times.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "message/MailMessage.h"
#include "support/MailboxGenerator.h"

namespace {

using namespace quill;

struct Corpus {
    std::string bytes;
    std::vector<std::string_view> messages;
    std::vector<std::unique_ptr<MailMessage>> parsed;
};

// The generated mailbox cut at "From " lines that follow an empty line (bodies
// hold unescaped ones, protected by Content-Length), every message parsed once.
const Corpus& corpus() {
    static const Corpus c = [] {
        Corpus out;
        setLogSink([](const std::string&) {});
        std::string path = bench::scratchDir() + "/message-bench.mbox";
        bench::writeMailbox(path, 10000, 7);
        readFile(path, out.bytes);
        std::string_view all(out.bytes);
        size_t start = 0;
        while (start < all.size()) {
            size_t next = all.find("\n\nFrom ", start);
            size_t end = next == std::string_view::npos ? all.size() : next + 2;
            out.messages.push_back(
                all.substr(start, end - start - (next == std::string_view::npos ? 0 : 1)));
            start = end;
        }
        for (std::string_view text : out.messages) {
            ByteSource source(text);
            out.parsed.push_back(MailMessage::newFromStream(source));
        }
        return out;
    }();
    return c;
}

void setBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus().bytes.size()));
}

void BM_ReadMessages(benchmark::State& state) {
    const Corpus& c = corpus();
    for (auto _ : state) {
        for (std::string_view text : c.messages) {
            ByteSource source(text);
            benchmark::DoNotOptimize(MailMessage::newFromStream(source));
        }
    }
    setBytes(state);
}

void BM_ReadYardstickMemchrLines(benchmark::State& state) {
    const Corpus& c = corpus();
    for (auto _ : state) {
        size_t lines = 0;
        for (const char *p = c.bytes.data(), *end = p + c.bytes.size();
             (p = static_cast<const char*>(std::memchr(p, '\n', end - p))); ++p)
            ++lines;
        benchmark::DoNotOptimize(lines);
    }
    setBytes(state);
}

void BM_WriteMailboxAppends(benchmark::State& state) {
    const Corpus& c = corpus();
    for (auto _ : state) {
        ByteSink sink;
        sink.reserve(c.bytes.size() * 11 / 10);
        for (const auto& message : c.parsed) message->writeToStreamMailbox(sink, {});
        benchmark::DoNotOptimize(sink.bytes().size());
    }
    setBytes(state);
}

void BM_WriteYardstickCopy(benchmark::State& state) {
    const Corpus& c = corpus();
    for (auto _ : state) {
        ByteSink sink;
        sink.reserve(c.bytes.size() * 11 / 10);
        for (std::string_view text : c.messages) sink.write(text);
        benchmark::DoNotOptimize(sink.bytes().size());
    }
    setBytes(state);
}

void BM_WrapBodiesAt72(benchmark::State& state) {
    const Corpus& c = corpus();
    for (auto _ : state) {
        ByteSink sink;
        sink.reserve(c.bytes.size() * 11 / 10);
        for (const auto& message : c.parsed) message->writeBodyToStreamWrapAtColumn(sink, 72);
        benchmark::DoNotOptimize(sink.bytes().size());
    }
}

void BM_WrapYardstickCopyBodies(benchmark::State& state) {
    const Corpus& c = corpus();
    for (auto _ : state) {
        ByteSink sink;
        sink.reserve(c.bytes.size() * 11 / 10);
        for (const auto& message : c.parsed) sink.write(message->bodyView());
        benchmark::DoNotOptimize(sink.bytes().size());
    }
}

BENCHMARK(BM_ReadMessages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadYardstickMemchrLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteMailboxAppends)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteYardstickCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WrapBodiesAt72)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WrapYardstickCopyBodies)->Unit(benchmark::kMillisecond);

}  // namespace

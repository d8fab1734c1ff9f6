// Speed of the process plumbing: uuencoding both ways, and bytes moved through
// a pipeline with input and output at once.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "formats/uuencode.h"
#include "process/PosixProcessLauncher.h"
#include "process/RunCommand.h"

namespace {

quill::RunCommand& runCommand() {
    static quill::ChildWatch watch;
    static quill::PosixProcessLauncher launcher(watch);
    static quill::RunCommand run(launcher);
    return run;
}

std::string randomBytes(size_t n) {
    std::mt19937 gen(1);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(gen());
    return s;
}

void BM_Uuencode(benchmark::State& state) {
    std::string data = randomBytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        quill::ByteSource in(data);
        quill::ByteSink out;
        quill::uuencode(in, out, "a.tar.Z", 0644);
        benchmark::DoNotOptimize(out.bytes().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Uuencode)->Arg(1 << 20);

void BM_Uudecode(benchmark::State& state) {
    std::string data = randomBytes(static_cast<size_t>(state.range(0)));
    quill::ByteSource plain(data);
    quill::ByteSink encoded;
    quill::uuencode(plain, encoded, "a.tar.Z", 0644);
    for (auto _ : state) {
        quill::ByteSource in(encoded.bytes());
        quill::ByteSink out;
        quill::uudecode(in, out);
        benchmark::DoNotOptimize(out.bytes().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Uudecode)->Arg(1 << 20);

// Bytes through "cat" (one or two stages) with the input fed while the output is drained.
void BM_PipelineThroughCat(benchmark::State& state) {
    std::string data = randomBytes(10 << 20);
    std::vector<quill::RunCommand::Argv> commands(static_cast<size_t>(state.range(0)), {"cat"});
    for (auto _ : state) {
        quill::ByteSource in(data);
        quill::ByteSink out;
        runCommand().runPipe(commands, in, out);
        benchmark::DoNotOptimize(out.bytes().data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (10 << 20));
}
BENCHMARK(BM_PipelineThroughCat)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Starting and collecting one short program: the fixed cost of every pipeline.
void BM_StartAndWait(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(runCommand().runPipe({{"true"}}, nullptr, nullptr));
}
BENCHMARK(BM_StartAndWait)->Unit(benchmark::kMillisecond);

}  // namespace

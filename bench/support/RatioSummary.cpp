#include "support/RatioSummary.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <vector>

namespace quill::bench {
namespace {

enum class Kind { Time, Throughput, Counter };

struct Comparison {
    Kind kind;
    std::string target;
    std::string other;  // the yardstick, or the counter's name
    double goal;
};

std::vector<Comparison>& comparisons() {
    static std::vector<Comparison> list;
    return list;
}

struct Measured {
    double seconds = 0;  // real time per iteration
    benchmark::UserCounters counters;
};

// A benchmark's name without the options Google Benchmark appends to it.
std::string baseName(std::string name) {
    for (const char* option : {"/iterations:", "/repeats:", "/real_time"}) {
        if (auto cut = name.find(option); cut != std::string::npos) name.erase(cut);
    }
    return name;
}

// The console output as usual, keeping each run's figures for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            std::string name = baseName(run.benchmark_name());
            Measured& m = measured[name];
            m.seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
            m.counters = run.counters;
        }
    }
    std::map<std::string, Measured> measured;
};

void printTimes(const Comparison& c, const Measured& target, const Measured& yardstick) {
    double ratio = target.seconds / yardstick.seconds;
    std::printf("%-44s %9.3f ms  vs %-36s %9.3f ms  ratio %6.2f  goal <= %.2f  %s\n",
                c.target.c_str(), target.seconds * 1e3, c.other.c_str(), yardstick.seconds * 1e3,
                ratio, c.goal, ratio <= c.goal ? "met" : "MISSED");
}

void printThroughput(const Comparison& c, const Measured& target, const Measured& yardstick) {
    double ratio = yardstick.seconds / target.seconds;
    std::printf("%-44s %9.3f ms  vs %-36s %9.3f ms  speed %6.2f  goal >= %.2f  %s\n",
                c.target.c_str(), target.seconds * 1e3, c.other.c_str(), yardstick.seconds * 1e3,
                ratio, c.goal, ratio >= c.goal ? "met" : "MISSED");
}

void printCounter(const Comparison& c, const Measured& target) {
    auto it = target.counters.find(c.other);
    if (it == target.counters.end()) return;
    double value = it->second.value;
    std::printf("%-44s %-24s %12.2f  goal <= %.2f  %s\n", c.target.c_str(), c.other.c_str(), value,
                c.goal, value <= c.goal ? "met" : "MISSED");
}

void printSummary(const std::map<std::string, Measured>& measured) {
    bool header = false;
    for (const Comparison& c : comparisons()) {
        auto target = measured.find(c.target);
        if (target == measured.end()) continue;
        if (!header) std::printf("\n-- targets against their yardsticks\n");
        header = true;
        if (c.kind == Kind::Counter) {
            printCounter(c, target->second);
            continue;
        }
        auto yardstick = measured.find(c.other);
        if (yardstick == measured.end()) continue;
        if (c.kind == Kind::Time) printTimes(c, target->second, yardstick->second);
        if (c.kind == Kind::Throughput) printThroughput(c, target->second, yardstick->second);
    }
    std::fflush(stdout);
}

}  // namespace

void compareTimes(std::string target, std::string yardstick, double goal) {
    comparisons().push_back({Kind::Time, std::move(target), std::move(yardstick), goal});
}

void compareThroughput(std::string target, std::string yardstick, double goal) {
    comparisons().push_back({Kind::Throughput, std::move(target), std::move(yardstick), goal});
}

void limitCounter(std::string benchmark, std::string counter, double goal) {
    comparisons().push_back({Kind::Counter, std::move(benchmark), std::move(counter), goal});
}

int runWithSummary(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printSummary(reporter.measured);
    return 0;
}

}  // namespace quill::bench

// Every benchmark target is judged against a yardstick measured in the same
// run on the same bytes. Benchmarks register their comparisons here; the
// program's main runs the benchmarks as usual and then prints one line per
// comparison: the target, its yardstick, the ratio and the goal.
#pragma once

#include <string>

namespace quill::bench {

// `target` should take at most `goal` times as long as `yardstick` (benchmark
// names as Google Benchmark prints them, without "/real_time").
void compareTimes(std::string target, std::string yardstick, double goal);

// `target` should take at least `goal` times the throughput of `yardstick`.
void compareThroughput(std::string target, std::string yardstick, double goal);

// A counter that a benchmark reports should stay at most `goal`.
void limitCounter(std::string benchmark, std::string counter, double goal);

// Runs the benchmarks selected on the command line, then the summary.
int runWithSummary(int argc, char** argv);

}  // namespace quill::bench

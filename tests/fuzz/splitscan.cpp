// The two-thread index scan over "mbox" bytes: wherever the worker starts
// (the first byte picks the place), the records and their count come out as
// from one scan.
#include "store/SplitScan.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "support/FuzzEnvironment.h"

using namespace quill;

namespace {

std::pair<std::string, int> recordsOf(std::string_view mbox, std::size_t split) {
    std::string out;
    int count = SplitScan::appendRecords(mbox, ScanSettings{}, split, out);
    return {out, count};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    if (size == 0) return 0;
    std::string_view mbox(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t split = mbox.size() * data[0] / 256;
    if (recordsOf(mbox, split) != recordsOf(mbox, std::string_view::npos)) std::abort();
    return 0;
}

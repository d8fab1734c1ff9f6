// The address book, beside yardsticks measured in the same run:
//   loading 50,000 names on the loading thread  vs  reading the same files and
//                                                   putting every name in a hash set
//   completing a two-letter prefix              vs  scanning every name for it
//   starting the load (the main thread's part)  -   reported, should stay far
//                                                   below a frame
// The book: 20,000 global aliases (a third of them groups), 29,000 users and
// 1,000 private entries. QUILL_BENCH_ALIASES scales it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "addressbook/Alias.h"
#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "support/MailboxGenerator.h"
#include "support/RatioSummary.h"

namespace {

using namespace quill;

int entryCount() {
    const char* n = std::getenv("QUILL_BENCH_ALIASES");
    return n && *n ? std::atoi(n) : 50000;
}

const char* const kFirst[] = {"john", "joan",  "mary", "peter", "anna", "james", "linda",
                              "mark", "susan", "paul", "karen", "joe",  "lisa",  "george"};
const char* const kLast[] = {"smith", "jones",  "brown", "taylor", "wilson", "johnson",
                             "white", "miller", "clark", "lewis",  "young",  "walker"};

void writeText(const std::string& path, const std::string& text) {
    UniqueFd fd = openFile(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!fd || !writeAll(fd.get(), text)) throw std::runtime_error("cannot write " + path);
}

struct Book {
    std::string people = bench::scratchDir() + "/People";
    std::string privateFile = bench::scratchDir() + "/mailalias";
    std::vector<std::string> names;
};

// Writes the files once; the same sizes give the same bytes.
const Book& book() {
    static const Book b = [] {
        Book b;
        std::mt19937 random(7);
        auto name = [&](int i) {
            return std::string(kFirst[random() % 14]) + "." + kLast[random() % 12] +
                   std::to_string(i);
        };
        int total = entryCount(), aliases = total * 2 / 5, privates = total / 50;
        std::string aliasText, userText, privateText = "Private Users:";
        for (int i = 0; i < total - aliases - privates; ++i) {
            b.names.push_back(name(i));
            userText += b.names.back() + ":x:1000:1000::/:/bin/sh\n";
        }
        for (int i = 0; i < aliases; ++i) {
            b.names.push_back(name(i) + "a");
            aliasText += b.names.back() + ": " + b.names[random() % b.names.size()];
            if (i % 3 == 0) aliasText += ",\n\t" + b.names[random() % b.names.size()];
            aliasText += "\n";
        }
        for (int i = 0; i < 200; ++i) privateText += (i ? "," : "") + name(i) + "@example.org";
        privateText += "\n";
        for (int i = 0; i < privates; ++i)
            privateText += name(i) + "p:" + name(i) + "@example.org," + name(i) + "\n";
        ::mkdir(b.people.c_str(), 0755);
        writeText(b.people + "/aliases", aliasText);
        writeText(b.people + "/passwd", userText);
        writeText(b.privateFile, privateText);
        return b;
    }();
    return b;
}

AliasSources sources() {
    AliasSources s;
    s.loadNIS = false;
    s.peopleDir = book().people;
    s.privateFile = book().privateFile;
    return s;
}

void LoadAddressBook(benchmark::State& state) {
    size_t entries = 0;
    for (auto _ : state) {
        Alias alias;
        alias.forkedInitialize(sources());
        entries = alias.book().table().size();
    }
    state.counters["entries"] = static_cast<double>(entries);
}

// What any loader must do: read the files and hash every name once.
void YardstickReadAndHashNames(benchmark::State& state) {
    for (auto _ : state) {
        std::unordered_set<std::string_view> names;
        std::string texts[3];
        int i = 0;
        for (const std::string& path :
             {book().people + "/aliases", book().people + "/passwd", book().privateFile}) {
            readFile(path, texts[i]);
            std::string_view text = texts[i++];
            for (size_t pos = 0; pos < text.size();) {
                size_t end = std::min(text.find('\n', pos), text.size());
                names.insert(text.substr(pos, text.find(':', pos) - pos));
                pos = end + 1;
            }
        }
        benchmark::DoNotOptimize(names.size());
    }
}

// The main thread's share of loading: it only starts the thread.
void StartLoadingInBackground(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto alias = std::make_unique<Alias>();
        AliasSources s = sources();
        state.ResumeTiming();
        alias->forkedInitialize(std::move(s));
        state.PauseTiming();
        alias.reset();
        state.ResumeTiming();
    }
}

Alias& loadedAlias() {
    static Alias alias;
    alias.forkedInitialize(sources());
    return alias;
}

void CompleteTwoLetterPrefix(benchmark::State& state) {
    AliasBook& b = loadedAlias().book();
    for (auto _ : state) benchmark::DoNotOptimize(b.completeAddress("jo", 2));
}

void CompleteEveryNameOfAPrefix(benchmark::State& state) {
    AliasBook& b = loadedAlias().book();
    int count = 0;
    for (auto _ : state) {
        count = 0;
        for (auto name = b.completeAddress("lisa.w", 6); name; name = b.completeAddress(*name, 6))
            ++count;
    }
    state.counters["names"] = count;
}

// Completion by walking the whole table, as a plain list of names would.
void YardstickScanEveryName(benchmark::State& state) {
    AliasBook& b = loadedAlias().book();
    for (auto _ : state) {
        const AliasEntry* best = nullptr;
        for (const AliasEntry* e : b.table()) {
            if (e->key.compare(0, 2, "jo") == 0 && e->key > "jo" && (!best || e->key < best->key))
                best = e;
        }
        benchmark::DoNotOptimize(best);
    }
}

const bool kCompared = [] {
    setLogSink([](const std::string&) {});
    bench::compareTimes("LoadAddressBook", "YardstickReadAndHashNames", 4.0);
    bench::compareTimes("CompleteTwoLetterPrefix", "YardstickScanEveryName", 0.05);
    return true;
}();

}  // namespace

BENCHMARK(YardstickReadAndHashNames)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LoadAddressBook)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
// Each step waits, untimed, for the whole load it started: a few are enough.
BENCHMARK(StartLoadingInBackground)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(10);
BENCHMARK(YardstickScanEveryName)->Unit(benchmark::kMicrosecond);
BENCHMARK(CompleteTwoLetterPrefix)->Unit(benchmark::kMicrosecond);
BENCHMARK(CompleteEveryNameOfAPrefix)->Unit(benchmark::kMicrosecond);

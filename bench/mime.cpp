// MIME decoding and showing, each beside the yardstick it is judged against:
//   base64 and quoted-printable decoding  vs  a plain table-driven decoder
//                                             (the base64 one runs about as
//                                             fast as coreutils "base64 -d";
//                                             half its speed is the goal)
//   rendering a message with a large base64 attachment (time and peak memory)
//                                         vs  decoding its attachment
//   saving that attachment from its icon (time and peak memory)
//                                         vs  decoding it and writing the file
// QUILL_BENCH_ATTACHMENT_MB sets the attachment's size (20 by default).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "base/Diagnostics.h"
#include "base/SharedBytes.h"
#include "message/MimeMessage.h"
#include "message/mimecodec.h"
#include "reader/MessageRenderer.h"
#include "richtext/RichText.h"
#include "richtext/TextView.h"
#include "settings/Defaults.h"
#include "support/MailboxGenerator.h"
#include "support/RatioSummary.h"
#include "support/procfs.h"

namespace {

using namespace quill;

constexpr std::size_t kDecodeBytes = 8 << 20;

std::size_t attachmentBytes() {
    const char* mb = std::getenv("QUILL_BENCH_ATTACHMENT_MB");
    return static_cast<std::size_t>(mb && *mb ? std::atol(mb) : 20) << 20;
}

std::string randomBytes(std::size_t n) {
    std::mt19937_64 rng(3);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

// Base64 in lines of 76 characters, as mailers write it.
std::string base64Lines(std::string_view data) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve(data.size() / 57 * 78 + 80);
    for (std::size_t i = 0; i < data.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size()) v |= static_cast<unsigned char>(data[i + 1]) << 8;
        if (i + 2 < data.size()) v |= static_cast<unsigned char>(data[i + 2]);
        out += alphabet[v >> 18 & 63];
        out += alphabet[v >> 12 & 63];
        out += i + 1 < data.size() ? alphabet[v >> 6 & 63] : '=';
        out += i + 2 < data.size() ? alphabet[v & 63] : '=';
        if ((i / 3 + 1) % 19 == 0) out += '\n';
    }
    return out + "\n";
}

// European text in quoted-printable: words, accented letters, soft breaks.
std::string quotedPrintableText(std::size_t n) {
    std::mt19937 rng(5);
    const char* words[] = {"caf=E9",     "na=EFve", "the",   "mailbox", "=C3=A9t=C3=A9", "budget",
                           "r=E9sum=E9", "meeting", "notes", "=3D",     "quarter"};
    std::string out, line;
    while (out.size() < n) {
        line += words[rng() % std::size(words)];
        line += ' ';
        if (line.size() > 70) {
            out += line + (rng() % 3 ? "=\n" : "\n");
            line.clear();
        }
    }
    return out;
}

const std::string& base64Input() {
    static const std::string s = base64Lines(randomBytes(kDecodeBytes / 4 * 3));
    return s;
}

const std::string& quotedPrintableInput() {
    static const std::string s = quotedPrintableText(kDecodeBytes);
    return s;
}

// The yardsticks: the straightforward decoders anyone would write first, a
// table lookup per byte into a buffer of the right size.
std::string referenceBase64(std::string_view in) {
    static const auto table = [] {
        std::array<signed char, 256> t{};
        t.fill(-1);
        const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i)
            t[static_cast<unsigned char>(a[i])] = static_cast<signed char>(i);
        return t;
    }();
    std::string out(in.size() / 4 * 3, '\0');
    char* w = out.data();
    unsigned group = 0;
    int count = 0;
    for (unsigned char c : in) {
        int v = table[c];
        if (v < 0) continue;
        group = group << 6 | static_cast<unsigned>(v);
        if (++count == 4) {
            *w++ = static_cast<char>(group >> 16);
            *w++ = static_cast<char>(group >> 8);
            *w++ = static_cast<char>(group);
            count = 0;
        }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string referenceQuotedPrintable(std::string_view in) {
    std::string out(in.size(), '\0');
    char* w = out.data();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '=' || i + 2 >= in.size()) {
            *w++ = in[i];
        } else if (in[i + 1] == '\n') {
            i += 1;
        } else {
            *w++ = static_cast<char>(hexDigit(in[i + 1]) * 16 + hexDigit(in[i + 2]));
            i += 2;
        }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
    return out;
}

template <typename Decode>
void decodeLoop(benchmark::State& state, const std::string& input, Decode decode) {
    for (auto _ : state) benchmark::DoNotOptimize(decode(input).size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void DecodeBase64(benchmark::State& state) {
    decodeLoop(state, base64Input(), [](std::string_view in) { return decodeBase64(in); });
}

void YardstickBase64(benchmark::State& state) { decodeLoop(state, base64Input(), referenceBase64); }

void DecodeQuotedPrintable(benchmark::State& state) {
    decodeLoop(state, quotedPrintableInput(),
               [](std::string_view in) { return decodeQuotedPrintable(in); });
}

void YardstickQuotedPrintable(benchmark::State& state) {
    decodeLoop(state, quotedPrintableInput(), referenceQuotedPrintable);
}

struct BigMessage {
    std::string attachment;  // the base64 text
    SharedBytes text;        // the whole message, kept as the reader keeps the shown one
};

const BigMessage& bigMessage() {
    static const BigMessage m = [] {
        BigMessage out;
        out.attachment = base64Lines(randomBytes(attachmentBytes()));
        out.text = SharedBytes(
            "From alice@example.com Mon Jan  6 09:00:00 2025\n"
            "From: Alice Martin <alice@example.com>\nTo: bob@example.org\n"
            "Subject: the quarterly figures\nMIME-Version: 1.0\n"
            "Content-Type: multipart/mixed; boundary=\"b1\"\n\n--b1\n"
            "Content-Type: text/plain; charset=us-ascii\n\nThe figures are attached.\n\n--b1\n"
            "Content-Type: application/octet-stream; name=\"figures.bin\"\n"
            "Content-Transfer-Encoding: base64\n\n" +
            out.attachment + "--b1--\n");
        return out;
    }();
    return m;
}

// Peak resident memory is reset before each measured step; writing "5" to
// clear_refs sets the high-water mark back to what is resident now. Large
// blocks are given back to the system as soon as they are freed, so what is
// resident follows what is in use.
void resetPeak() {
    ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 1 << 20);
    ::malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Runs step once per iteration, timed, with the peak resident memory it adds
// reported as a multiple of the message (which the process holds throughout).
template <typename Step>
void measureWithPeak(benchmark::State& state, Step step) {
    const BigMessage& m = bigMessage();
    setLogSink([](const std::string&) {});
    registerMimeMessageClass();
    std::optional<std::string> saved = MailMessage::defaultAttachmentDirectory();
    MailMessage::setDefaultAttachmentDirectory(bench::scratchDir());
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        resetPeak();
        long before = bench::procValue("/proc/self/status", "VmRSS:");
        state.ResumeTiming();
        step(m);
        state.PauseTiming();
        peak = static_cast<double>(bench::procValue("/proc/self/status", "VmHWM:") - before) * 1024;
        state.ResumeTiming();
    }
    MailMessage::setDefaultAttachmentDirectory(saved);
    state.counters["peak_x_message"] = 1 + peak / static_cast<double>(m.text.size());
    state.counters["message_MB"] = static_cast<double>(m.text.size()) / (1 << 20);
}

void renderInto(TextView& view, const BigMessage& m) {
    benchmark::DoNotOptimize(
        renderMessage(m.text, bench::scratchDir(), filteredHeadersFrom(Defaults::shared()), view));
}

void RenderLargeAttachment(benchmark::State& state) {
    measureWithPeak(state, [](const BigMessage& m) {
        TextView view;
        renderInto(view, m);
    });
}

void YardstickDecodeAttachment(benchmark::State& state) {
    const BigMessage& m = bigMessage();
    for (auto _ : state) benchmark::DoNotOptimize(referenceBase64(m.attachment).size());
}

std::string savedAttachmentPath() { return bench::scratchDir() + "/figures.bin"; }

// Shows the message, then saves the attachment from its icon.
void SaveLargeAttachment(benchmark::State& state) {
    measureWithPeak(state, [](const BigMessage& m) {
        TextView view;
        std::unique_ptr<MailMessage> message = renderMessage(
            m.text, bench::scratchDir(), filteredHeadersFrom(Defaults::shared()), view);
        for (const Attachment* cell : view.richText().attachments())
            if (cell->body) benchmark::DoNotOptimize(cell->body->saveTo(savedAttachmentPath()));
    });
    std::remove(savedAttachmentPath().c_str());
}

void YardstickDecodeToFile(benchmark::State& state) {
    const BigMessage& m = bigMessage();
    for (auto _ : state) {
        std::string decoded = referenceBase64(m.attachment);
        std::ofstream(savedAttachmentPath(), std::ios::binary | std::ios::trunc)
            .write(decoded.data(), static_cast<std::streamsize>(decoded.size()));
    }
    std::remove(savedAttachmentPath().c_str());
}

const bool kCompared = [] {
    bench::compareThroughput("DecodeBase64", "YardstickBase64", 0.5);
    bench::compareThroughput("DecodeQuotedPrintable", "YardstickQuotedPrintable", 0.5);
    bench::compareTimes("RenderLargeAttachment", "YardstickDecodeAttachment", 1.5);
    bench::limitCounter("RenderLargeAttachment", "peak_x_message", 1.5);
    bench::compareTimes("SaveLargeAttachment", "YardstickDecodeToFile", 1.5);
    bench::limitCounter("SaveLargeAttachment", "peak_x_message", 1.5);
    return true;
}();

}  // namespace

BENCHMARK(YardstickBase64)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeBase64)->Unit(benchmark::kMillisecond);
BENCHMARK(YardstickQuotedPrintable)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeQuotedPrintable)->Unit(benchmark::kMillisecond);
BENCHMARK(YardstickDecodeAttachment)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RenderLargeAttachment)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(YardstickDecodeToFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SaveLargeAttachment)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

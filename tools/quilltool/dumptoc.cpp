// quilltool dump-toc: every field of a table_of_contents file, the header on
// the first line and one record per line, for inspecting any index.
#include <cctype>
#include <cstdio>
#include <string>

#include "base/FileHandles.h"
#include "commands.h"
#include "store/TocFormat.h"

namespace quill::tool {
namespace {

using namespace tocformat;

// A string field with its unprintable bytes escaped, in double quotes.
std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (std::isprint(c)) {
            out += static_cast<char>(c);
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        }
    }
    return out + "\"";
}

std::string charField(char c) { return quoted(std::string_view(&c, 1)); }

void dumpHeader(const Header& h) {
    std::printf("magic=%u\tcount=%d\ttime=%d\ttocHeight=%g\tx=%g\ty=%g\twidth=%g\theight=%g\n",
                h.magic, h.count, h.time, h.tocHeight, h.frame.x, h.frame.y, h.frame.width,
                h.frame.height);
}

// Prints the record at `p`; answers its length, or 0 when it cannot be read.
std::size_t dumpRecord(std::size_t position, std::string_view rest) {
    if (rest.size() < kFixedSize) {
        std::printf("position=%zu\ttruncated (%zu bytes)\n", position, rest.size());
        return 0;
    }
    const char* p = rest.data();
    std::int32_t length = getI32(p);
    std::printf(
        "position=%zu\tlength=%d\toffset=%d\tmsglength=%d\tdate=%s\tstatus=%s\ttype=%s"
        "\tencrypted=%s\tpad=%s",
        position, length, getI32(p + kOffsetOffset), getI32(p + kLengthOffset),
        packedDateText(getU32(p + kDateOffset)).c_str(), charField(p[kStatusOffset]).c_str(),
        charField(p[kTypeOffset]).c_str(), charField(p[kEncryptedOffset]).c_str(),
        charField(p[kPadOffset]).c_str());
    bool fits = length >= static_cast<std::int32_t>(kFixedSize) &&
                static_cast<std::size_t>(length) <= rest.size();
    std::string_view record = rest.substr(0, fits ? length : rest.size());
    std::size_t at = kFixedSize;
    for (const char* name : {"sender", "subject", "reference"}) {
        std::size_t nul = record.find('\0', at);
        if (nul == std::string_view::npos) {
            std::printf("\t%s=%s (unterminated)\n", name, quoted(record.substr(at)).c_str());
            return 0;
        }
        std::printf("\t%s=%s", name, quoted(record.substr(at, nul - at)).c_str());
        at = nul + 1;
    }
    for (const char* name : {"attachSize", "attachTime", "priority"}) {
        if (at + 4 > record.size()) break;
        std::printf("\t%s=%d", name, getI32(record.data() + at));
        at += 4;
    }
    std::printf("\n");
    return fits ? static_cast<std::size_t>(length) : 0;
}

}  // namespace

int runDumpToc(const Args& args) {
    int status = 0;
    std::optional<std::string> file = readFileArgument(args, "dump-toc", status);
    if (!file) return status;
    const std::string& bytes = *file;
    if (bytes.size() < kHeaderSize) {
        std::fprintf(stderr, "%s: shorter than the %zu-byte header\n", args[0].c_str(),
                     kHeaderSize);
        return 1;
    }
    dumpHeader(decodeHeader(bytes.data()));
    std::size_t p = kHeaderSize;
    while (p < bytes.size()) {
        std::size_t n = dumpRecord(p, std::string_view(bytes).substr(p));
        if (n == 0) return 1;
        p += n;
    }
    return 0;
}

}  // namespace quill::tool

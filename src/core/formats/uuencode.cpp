#include "formats/uuencode.h"

#include "base/Diagnostics.h"

namespace quill {
namespace {

constexpr int kLineBytes = 45;
constexpr char kZero = '`';

char encodeValue(int v) { return v ? static_cast<char>((v & 077) + ' ') : kZero; }

int decodeValue(char c) { return (static_cast<unsigned char>(c) - ' ') & 077; }

// "begin 644 name\n": the octal mode and the rest of the line as the name.
void parseBeginLine(const std::string& line, std::string* name, int* mode) {
    size_t p = 6;
    while (p < line.size() && line[p] == ' ') ++p;
    if (mode) {
        // Only the permission bits mean anything; extra digits shift out of an
        // unsigned accumulator instead of overflowing.
        unsigned bits = 0;
        for (size_t q = p; q < line.size() && line[q] >= '0' && line[q] <= '7'; ++q) {
            bits = bits * 8 + static_cast<unsigned>(line[q] - '0');
        }
        *mode = static_cast<int>(bits & 07777);
    }
    while (p < line.size() && line[p] >= '0' && line[p] <= '9') ++p;
    while (p < line.size() && line[p] == ' ') ++p;
    if (name) {
        size_t end = line.size();
        if (end > p && line[end - 1] == '\n') --end;
        *name = line.substr(p, end - p);
    }
}

// Decodes one data line; answers 1 at the line of no bytes, -1 for a group
// cut short, 0 to go on.
int decodeLine(std::string line, ByteSink& out) {
    // Transport may strip trailing blanks, and a blank decodes like the grave accent.
    if (!line.empty() && line.back() == '\n') line.replace(line.size() - 1, 1, "  ");
    int n = decodeValue(line[0]);
    if (n == 0) return 1;
    const char* p = line.c_str() + 1;
    while (n > 0 && *p) {
        if (!p[1] || (n >= 2 && !p[2]) || (n >= 3 && !p[3])) return -1;
        int c0 = decodeValue(p[0]), c1 = decodeValue(p[1]);
        out.put(static_cast<char>(c0 << 2 | c1 >> 4));
        if (n >= 2) out.put(static_cast<char>(c1 << 4 | decodeValue(p[2]) >> 2));
        if (n >= 3) out.put(static_cast<char>(decodeValue(p[2]) << 6 | decodeValue(p[3])));
        n -= 3;
        p += 4;
    }
    return 0;
}

}  // namespace

bool uuencode(ByteSource& in, ByteSink& out, const std::string& name, int mode) {
    out.write(formatString("begin %o %s\n", static_cast<unsigned>(mode), name.c_str()));
    // A short last group encodes whatever the buffer still holds from the line
    // before, as the format always did; decoders ignore those characters.
    unsigned char buf[kLineBytes + 2] = {};
    for (;;) {
        std::string_view piece = in.remaining().substr(0, kLineBytes);
        in.seek(in.position() + piece.size());
        piece.copy(reinterpret_cast<char*>(buf), piece.size());
        int n = static_cast<int>(piece.size());
        std::string line(1, n ? static_cast<char>(n + ' ') : kZero);
        for (int i = 0; i < n; i += 3) {
            line += encodeValue(buf[i] >> 2);
            line += encodeValue(((buf[i] << 4) & 060) | ((buf[i + 1] >> 4) & 017));
            line += encodeValue(((buf[i + 1] << 2) & 074) | ((buf[i + 2] >> 6) & 03));
            line += encodeValue(buf[i + 2] & 077);
        }
        line += '\n';
        out.write(line);
        if (n == 0) break;
    }
    out.write("end\n");
    return out.ok();
}

bool uudecode(ByteSource& in, ByteSink& out, std::string* name, int* mode) {
    std::string_view line;
    do {
        line = in.readLine(255);
        if (line.empty()) return false;
    } while (line.substr(0, 6) != "begin ");
    parseBeginLine(std::string(line), name, mode);
    if (in.atEnd()) return false;
    while (!(line = in.readLine(253)).empty()) {
        int result = decodeLine(std::string(line), out);
        if (result != 0) return result > 0;
    }
    return true;
}

}  // namespace quill

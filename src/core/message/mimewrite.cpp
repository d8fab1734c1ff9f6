#include "message/mimewrite.h"

#include <array>
#include <ctime>
#include <random>

#include "base/ascii.h"

namespace quill {

namespace {

bool isBad(unsigned char c) { return c >= 128 || (c < 32 && c != '\t' && c != '\n'); }

const std::array<bool, 256>& badTable() {
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        for (int c = 0; c < 256; ++c) t[c] = isBad(static_cast<unsigned char>(c));
        return t;
    }();
    return table;
}

constexpr char kHex[] = "0123456789ABCDEF";

void putEscaped(std::string& out, unsigned char c) {
    out += '=';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

bool mustEscapeQuotedPrintable(std::string_view body, size_t i) {
    auto c = static_cast<unsigned char>(body[i]);
    if (c >= 127 || (c < 32 && c != '\t' && c != '\n') || c == '=') return true;
    if ((c == ' ' || c == '\t') && (i + 1 == body.size() || body[i + 1] == '\n')) return true;
    // Mailbox writers would escape an unencoded "From " line differently.
    return c == 'F' && body.size() - i > 5 && body.compare(i, 5, "From ") == 0;
}

size_t nextWhite(std::string_view body, size_t from) {
    while (from < body.size() && !isSpace(body[from])) ++from;
    return from;
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kChunk = 1 << 16;

// Writes the output in pieces so a large body is not held twice.
class ChunkedOutput {
  public:
    explicit ChunkedOutput(ByteSink& sink) : m_sink(sink) { m_out.reserve(kChunk + 256); }
    std::string& text() { return m_out; }
    void spill() {
        if (m_out.size() < kChunk) return;
        m_sink.write(m_out);
        m_out.clear();
    }
    bool finish() {
        m_sink.write(m_out);
        return m_sink.ok();
    }

  private:
    ByteSink& m_sink;
    std::string m_out;
};

void putGroup(char* w, const unsigned char* p) {
    uint32_t v = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    w[0] = kBase64[v >> 18];
    w[1] = kBase64[(v >> 12) & 63];
    w[2] = kBase64[(v >> 6) & 63];
    w[3] = kBase64[v & 63];
}

// Lines of whole groups: every line is exactly width characters.
void base64WholeLines(std::string_view body, ChunkedOutput& output, size_t width, size_t& done) {
    size_t lineBytes = width / 4 * 3;
    auto p = reinterpret_cast<const unsigned char*>(body.data());
    std::string& out = output.text();
    while (body.size() - done >= lineBytes) {
        size_t at = out.size();
        out.resize(at + width + 1);
        char* w = out.data() + at;
        for (size_t i = 0; i < lineBytes; i += 3, w += 4) putGroup(w, p + done + i);
        *w = '\n';
        done += lineBytes;
        output.spill();
    }
}

// The general rule: a newline as soon as a line reaches width characters,
// checked after each input byte.
bool writeBase64Lines(std::string_view body, ByteSink& sink, size_t width) {
    ChunkedOutput output(sink);
    size_t done = 0;
    if (width % 4 == 0) base64WholeLines(body, output, width, done);
    std::string& out = output.text();
    size_t column = 0;
    auto put = [&](std::string_view chars) {
        out += chars;
        column += chars.size();
        if (column >= width) {
            out += '\n';
            column = 0;
        }
    };
    auto p = reinterpret_cast<const unsigned char*>(body.data());
    for (; done + 3 <= body.size(); done += 3) {
        char group[4];
        putGroup(group, p + done);
        put(std::string_view(group, 1));
        put(std::string_view(group + 1, 1));
        put(std::string_view(group + 2, 2));
        output.spill();
    }
    if (size_t left = body.size() - done) {
        unsigned char last[3] = {p[done], left > 1 ? p[done + 1] : static_cast<unsigned char>(0),
                                 0};
        char group[4];
        putGroup(group, last);
        if (left == 1) group[2] = '=';
        group[3] = '=';
        out.append(group, 4);
        column += 4;
    }
    if (column > 0) out += '\n';
    return output.finish();
}

class EncodedHeaderWriter {
  public:
    std::string run(std::string_view line) {
        size_t i = 0;
        while (i < line.size()) {
            auto c = static_cast<unsigned char>(line[i]);
            if (isSpace(static_cast<char>(c)) || c == '(' || c == ')') {
                separator(c);
                ++i;
                continue;
            }
            size_t end = i;
            while (end < line.size() && !isSeparator(static_cast<unsigned char>(line[end]))) ++end;
            word(line.substr(i, end - i));
            i = end;
        }
        m_out += '\n';
        return std::move(m_out);
    }

  private:
    static bool isSeparator(unsigned char c) {
        return isSpace(static_cast<char>(c)) || c == '(' || c == ')';
    }

    void separator(unsigned char c) {
        if (c == '(' || c == ')') {
            put(static_cast<char>(c));
            m_lastEncoded = false;
        } else if (m_column > 65) {
            fold();
        } else {
            put(c == '\n' || c == '\r' ? ' ' : static_cast<char>(c));
        }
    }

    void word(std::string_view text) {
        bool high = false;
        for (char c : text) high = high || static_cast<unsigned char>(c) >= 128;
        if (!high) {
            m_out += text;
            m_column += text.size();
            m_lastEncoded = false;
            return;
        }
        if (m_column > 50) fold();
        size_t before = m_out.size();
        m_out += "=?iso-8859-1?Q?";
        // The blank between two encoded words vanishes when read; "_" keeps it.
        if (m_lastEncoded) m_out += '_';
        for (char ch : text) {
            auto c = static_cast<unsigned char>(ch);
            if (c < 128 && c != '?' && c != '=' && c != '_')
                m_out += ch;
            else
                putEscaped(m_out, c);
        }
        m_out += "?=";
        m_column += m_out.size() - before;
        m_lastEncoded = true;
    }

    void put(char c) {
        m_out += c;
        ++m_column;
    }
    // Counting restarts on the continuation line.
    void fold() {
        m_out += "\n\t";
        m_column = 1;
    }

    std::string m_out;
    size_t m_column = 0;
    bool m_lastEncoded = false;
};

struct BoundaryState {
    long counter = 1;
    std::function<long()> source;
    std::mt19937 engine{static_cast<unsigned>(std::time(nullptr))};
};

BoundaryState& boundaryState() {
    static BoundaryState state;
    return state;
}

}  // namespace

BodyScan scanBody(std::string_view body, size_t enoughBadBytes) {
    BodyScan scan;
    const std::array<bool, 256>& bad = badTable();
    size_t lineStart = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        auto c = static_cast<unsigned char>(body[i]);
        scan.badBytes += bad[c];
        if (scan.badBytes >= enoughBadBytes) return scan;
        if (c == '\n') {
            scan.longestLine = std::max(scan.longestLine, i - lineStart);
            lineStart = i;
        }
    }
    scan.longestLine = std::max(scan.longestLine, body.size() - lineStart);
    return scan;
}

bool writeQuotedPrintable(std::string_view body, ByteSink& sink, int lineLength) {
    const size_t width = static_cast<size_t>(lineLength > 3 ? lineLength : 76) - 3;
    ChunkedOutput output(sink);
    std::string& out = output.text();
    size_t column = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        auto c = static_cast<unsigned char>(body[i]);
        bool breakAfter = false;
        if (i == 0 || isSpace(static_cast<char>(c)))
            breakAfter = column + (nextWhite(body, i + 1) - i) > width;
        if (c == '\n') {
            out += '\n';
            column = 0;
        } else if (mustEscapeQuotedPrintable(body, i)) {
            putEscaped(out, c);
            column += 3;
        } else {
            out += static_cast<char>(c);
            ++column;
        }
        // A soft break at the start of a line would only add an empty one.
        if ((breakAfter && column > 0) || column > width) {
            out += "=\n";
            column = 0;
        }
        output.spill();
    }
    if (column > 0) out += "=\n";
    return output.finish();
}

bool writeBase64(std::string_view body, ByteSink& sink, int lineLength) {
    int width = (lineLength > 0 ? lineLength : 78) - 2;
    sink.expect(body.size() / 3 * 4 +
                body.size() / 3 * 4 / static_cast<size_t>(std::max(width, 4)) + 8);
    return writeBase64Lines(body, sink, static_cast<size_t>(width > 4 ? width : 4));
}

std::string quotedMimeString(std::string_view text) {
    static constexpr std::string_view kSpecials = "()<>@,;:\\\"/[]?=";
    bool plain = !text.empty();
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c >= 127 || kSpecials.find(ch) != std::string_view::npos) plain = false;
    }
    if (plain) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

bool writeEncodedHeaderLine(std::string_view key, std::string_view value, ByteSink& sink) {
    std::string line(key);
    line += ": ";
    line += value;
    return sink.write(EncodedHeaderWriter().run(line));
}

std::string makeBoundary() {
    BoundaryState& state = boundaryState();
    long random = state.source ? state.source() : static_cast<long>(state.engine() >> 1);
    return "Tessel-Quill-" + std::to_string(random) + "-" + std::to_string(state.counter++);
}

void setBoundaryRandomSource(std::function<long()> source) {
    boundaryState().source = std::move(source);
    boundaryState().counter = 1;
}

}  // namespace quill

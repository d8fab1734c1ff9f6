#include "store/MboxScanner.h"

#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>

#include "base/FileHandles.h"
#include "base/ascii.h"
#include "message/date.h"
#include "message/fieldutil.h"
#include "message/headerword.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

constexpr std::size_t kMaxLine = 1023;
// A Content-Length is trusted when a "From " line begins this close to where it points.
constexpr std::size_t kContentLengthSlack = 21;
constexpr std::string_view kFromLine = "\nFrom ";
// The header fields' first letters and the priority header's.
constexpr std::size_t kMaxStopLetters = 6;

enum class Field { Priority, To, ContentLength, ContentType, From, Subject, Reference };

struct Prefix {
    std::string_view text;
    Field field;
};

// Matched in this order; the priority header, when configured, comes first.
constexpr Prefix kPrefixes[] = {
    {"To:", Field::To},
    {"Content-Length:", Field::ContentLength},
    {"Content-Type:", Field::ContentType},
    {"From:", Field::From},
    {"Subject:", Field::Subject},
    {"Zell-Reference:", Field::Reference},
};

// Header text as the index stores it: encoded words decoded, cut at a NUL.
// Assigned in place, so a string reused from message to message keeps its storage.
void assignDecoded(std::string& into, std::string_view v) {
    into.assign(v.substr(0, v.find('\0')));
    if (into.find("=?") != std::string::npos) decodeMimeHeaderWords(into);
}

std::string decodedValue(std::string_view v) {
    std::string s;
    assignDecoded(s, v);
    return s;
}

// Empties a message for the next one without giving up its strings' storage.
void clearKeepingStorage(ScannedMessage& out) {
    tocformat::Record& r = out.record;
    std::string sender = std::move(r.sender), subject = std::move(r.subject),
                reference = std::move(r.reference);
    out = ScannedMessage();
    for (std::string* s : {&sender, &subject, &reference}) s->clear();
    r.sender = std::move(sender);
    r.subject = std::move(subject);
    r.reference = std::move(reference);
}

// Where the header scan goes on within [p, end): just past the first newline
// whose next byte is in `stops`; else the start of the last line that begins
// in the range, every line before it being of no interest; else p. Sixteen
// bytes are tested at a time against the stops' `letters` (any case) and the
// line ends, so a header line of no interest costs neither a call nor a branch.
const char* nextStopLine(const char* p, const char* end, const bool (&stops)[256],
                         std::string_view letters) {
    const char* last = nullptr;
#ifdef __SSE2__
    const __m128i newline = _mm_set1_epi8('\n'), ret = _mm_set1_epi8('\r');
    const __m128i caseBit = _mm_set1_epi8(0x20);
    // A fixed number of letters (the first repeated) keeps them all in registers.
    __m128i letter[kMaxStopLetters];
    for (std::size_t i = 0; i < kMaxStopLetters; ++i) {
        letter[i] = _mm_set1_epi8(letters[i < letters.size() ? i : 0]);
    }
    for (; end - p >= 17; p += 16) {
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        __m128i lower = _mm_or_si128(next, caseBit);
        __m128i maybe = _mm_or_si128(_mm_cmpeq_epi8(next, newline), _mm_cmpeq_epi8(next, ret));
        for (const __m128i& c : letter) maybe = _mm_or_si128(maybe, _mm_cmpeq_epi8(lower, c));
        unsigned newlines = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), newline)));
        if (newlines) last = p + 31 - __builtin_clz(newlines);
        for (unsigned mask = newlines & static_cast<unsigned>(_mm_movemask_epi8(maybe)); mask;
             mask &= mask - 1) {
            const char* nl = p + __builtin_ctz(mask);
            if (stops[static_cast<unsigned char>(nl[1])]) return nl + 1;
        }
    }
#endif
    for (; (p = static_cast<const char*>(std::memchr(p, '\n', end - p))); ++p) {
        last = p;
        if (end - p >= 2 && stops[static_cast<unsigned char>(p[1])]) return p + 1;
    }
    return last ? last + 1 : nullptr;
}

bool isMimeType(std::string_view v) {
    return v.find('/') != std::string_view::npos && !startsWithIgnoringCase(v, "text/plain") &&
           !startsWithIgnoringCase(v, "text/x-zellmail");
}

}  // namespace

namespace {

// The position of the first newline at or after `from` followed by the byte
// `first` or `second` for which `matches` holds, or npos. Looking for those
// pairs sixteen bytes at a time skips nearly every line at once, where a
// newline search would stop at each of them.
template <typename Matches>
std::size_t findLineWith(std::string_view text, std::size_t from, char first, char second,
                         Matches matches) {
    const char* base = text.data();
    const char* end = base + text.size();
    const char* p = base + std::min(from, text.size());
#ifdef __SSE2__
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i one = _mm_set1_epi8(first), other = _mm_set1_epi8(second);
    for (; end - p >= 17; p += 16) {
        __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        __m128i wanted = _mm_or_si128(_mm_cmpeq_epi8(next, one), _mm_cmpeq_epi8(next, other));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, newline), wanted)));
        for (; mask; mask &= mask - 1) {
            const char* nl = p + __builtin_ctz(mask);
            if (matches(nl, end)) return nl - base;
        }
    }
#endif
    for (; (p = static_cast<const char*>(std::memchr(p, '\n', end - p))); ++p) {
        if (matches(p, end)) return p - base;
    }
    return std::string_view::npos;
}

bool lineStarts(const char* nl, const char* end, std::string_view text) {
    return static_cast<std::size_t>(end - nl) > text.size() &&
           std::memcmp(nl + 1, text.data(), text.size()) == 0;
}

}  // namespace

// Most of a mailbox is body text, so this search sets the speed of the whole scan.
std::size_t findFromLine(std::string_view text, std::size_t from) {
    return findLineWith(text, from, 'F', 'F', [](const char* nl, const char* end) {
        return lineStarts(nl, end, kFromLine.substr(1));
    });
}

std::size_t findLineStarting(std::string_view text, std::size_t from, std::string_view one,
                             std::string_view other) {
    return findLineWith(text, from, one[0], other[0], [&](const char* nl, const char* end) {
        return lineStarts(nl, end, one) || lineStarts(nl, end, other);
    });
}

MboxWindow::MboxWindow(std::string_view bytes) : m_size(bytes.size()), m_view(bytes) {}

// A small mailbox gets a buffer of its own size: the scan of a short file
// should not pay for clearing megabytes it never reads.
MboxWindow::MboxWindow(int fd, std::size_t size)
    : m_fd(fd), m_size(size), m_buffer(new char[std::min(kPieceSize, size)]) {}

std::unique_ptr<MboxWindow> MboxWindow::twin() const {
    return m_fd < 0 ? std::make_unique<MboxWindow>(m_view)
                    : std::make_unique<MboxWindow>(m_fd, m_size);
}

std::string_view MboxWindow::at(std::size_t pos, std::size_t n) {
    pos = std::min(pos, m_size);
    std::size_t want = std::min(n, m_size - pos);
    if (m_fd < 0 || (pos >= m_base && pos + want <= m_base + m_view.size())) {
        return m_view.substr(pos - m_base);
    }
    std::size_t len = std::min(kPieceSize, m_size - pos);
    std::size_t done = readAt(m_fd, m_buffer.get(), len, static_cast<off_t>(pos));
    // A file that shrank under us ends where the reading ended.
    if (done < len) m_size = pos + done;
    m_base = pos;
    m_view = std::string_view(m_buffer.get(), done);
    return m_view;
}

// Runs `search` over successive windows that overlap by `overlap` bytes so
// that no match straddling two windows is missed.
template <typename Search>
std::size_t MboxWindow::search(std::size_t pos, std::size_t overlap, Search search) {
    while (pos < m_size) {
        std::string_view v = at(pos, overlap + 1);
        std::size_t hit = search(v);
        if (hit != std::string_view::npos) return pos + hit;
        if (pos + v.size() >= m_size) break;
        pos += v.size() - overlap;
    }
    return std::string_view::npos;
}

std::size_t MboxWindow::findFromLine(std::size_t pos) {
    return search(pos, kFromLine.size() - 1,
                  [](std::string_view v) { return quill::findFromLine(v, 0); });
}

std::size_t MboxWindow::find(std::string_view text, std::size_t pos) {
    return search(pos, text.size() - 1, [text](std::string_view v) { return v.find(text); });
}

std::size_t MboxWindow::findByte(char c, std::size_t pos) {
    return search(pos, 0, [c](std::string_view v) { return v.find(c); });
}

MboxScanner::MboxScanner(std::string_view mbox, ScanSettings settings)
    : m_ownWindow(std::make_unique<MboxWindow>(mbox)), m_mbox(*m_ownWindow) {
    configure(std::move(settings));
}

MboxScanner::MboxScanner(MboxWindow& mbox, ScanSettings settings) : m_mbox(mbox) {
    configure(std::move(settings));
}

void MboxScanner::configure(ScanSettings settings) {
    m_settings = std::move(settings);
    m_lastDate = packedToday();
    auto interesting = [this](char first) {
        char c = toLower(first);
        if (!m_interesting[static_cast<unsigned char>(c)]) m_stopLetters += c;
        m_interesting[static_cast<unsigned char>(c)] = true;
    };
    for (const Prefix& p : kPrefixes) interesting(p.text[0]);
    if (!m_settings.priorityHeader.empty()) {
        interesting(m_settings.priorityHeader[0]);
        m_settings.priorityHeader += ':';
    }
    // A header line matters when it may hold a field, is empty or is a "From " line.
    for (int c = 0; c < 256; ++c) {
        m_stops[c] = m_interesting[static_cast<unsigned char>(toLower(static_cast<char>(c)))] ||
                     c == '\n' || c == '\r' || c == 'F';
    }
}

bool MboxScanner::seekFirst(std::size_t start) {
    m_pos = m_mbox.find("From ", start);
    return m_pos != std::string_view::npos;
}

MboxScanner::Line MboxScanner::lineAt(std::size_t pos) {
    std::string_view v = m_mbox.at(pos, kMaxLine + 2);
    std::size_t nl = v.find('\n');
    std::size_t next;
    if (nl != std::string_view::npos) {
        next = pos + nl + 1;
    } else if (pos + v.size() >= m_mbox.size()) {
        nl = v.size();
        next = m_mbox.size();
    } else {
        // Longer than the window: keep the part we use, then look for its end.
        m_longLine.assign(v.substr(0, kMaxLine));
        std::size_t end = m_mbox.findByte('\n', pos);
        return {m_longLine, end == std::string_view::npos ? m_mbox.size() : end + 1};
    }
    std::string_view line = v.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // Overlong lines are cut; what follows the cut is not a header of its own.
    return {line.substr(0, kMaxLine), next};
}

bool MboxScanner::next(ScannedMessage& out) {
    if (m_pos == std::string_view::npos || m_pos >= m_mbox.size()) return false;
    clearKeepingStorage(out);
    out.record.status = m_settings.newMail ? MessageStatus::kNew : MessageStatus::kRead;
    out.record.offset = static_cast<std::int32_t>(m_pos);
    m_recipient.clear();
    std::size_t headerStart = readEnvelope(out);

    long contentLength = -1;
    bool mime = false, sun = false;
    std::size_t headerEnd = readHeader(headerStart, out, contentLength, mime, sun);
    if (out.record.type == ' ') out.record.type = mime ? 'm' : sun ? 's' : ' ';
    if (!m_recipient.empty() && isMyAddress(out.record.sender, m_settings.me)) {
        out.record.sender = "(To: " + m_recipient + ")";
    }

    std::size_t start = m_pos;
    std::size_t from = m_mbox.findFromLine(messageEnd(headerEnd, contentLength) - 1);
    std::size_t end = from == std::string_view::npos ? m_mbox.size() : from + 1;
    out.record.length = static_cast<std::int32_t>(end - start);
    m_pos = from == std::string_view::npos ? std::string_view::npos : end;
    return true;
}

// The "From " line: the envelope sender, then a date the index keeps when it
// can read one (else the last good date, so undated mail sorts near its
// neighbours). Answers where the header lines begin.
std::size_t MboxScanner::readEnvelope(ScannedMessage& out) {
    Line line = lineAt(m_pos);
    std::string_view rest = line.text.substr(std::min<std::size_t>(5, line.text.size()));
    std::size_t blank = rest.find_first_of(" \t");
    out.record.sender.assign(rest.substr(0, std::min(blank, rest.find('\0'))));
    if (blank != std::string_view::npos) {
        if (auto date = packedDate(rest.substr(blank + 1))) {
            m_lastDate = *date;
            out.dated = true;
        }
    }
    out.record.date = m_lastDate;
    return line.next;
}

// Reads the header lines from `pos`; answers where the body begins.
std::size_t MboxScanner::readHeader(std::size_t pos, ScannedMessage& out, long& contentLength,
                                    bool& mime, bool& sun) {
    while (pos < m_mbox.size()) {
        pos = skipLinesOfNoInterest(pos);
        Line line = lineAt(pos);
        if (line.text.empty()) return line.next;
        if (line.text.starts_with("From ")) return pos;
        if (m_interesting[static_cast<unsigned char>(toLower(line.text[0]))]) {
            takeField(line.text, pos, out, contentLength, mime, sun);
        }
        pos = line.next;
    }
    return m_mbox.size();
}

// Lines that neither end the header nor hold a field the index keeps are
// passed over in bulk; the line answered is read as any other.
std::size_t MboxScanner::skipLinesOfNoInterest(std::size_t pos) {
    std::string_view v = m_mbox.at(pos, kMaxLine + 2);
    if (v.empty() || m_stops[static_cast<unsigned char>(v[0])]) return pos;
    const char* next = nextStopLine(v.data(), v.data() + v.size(), m_stops, m_stopLetters);
    return next ? pos + static_cast<std::size_t>(next - v.data()) : pos;
}

void MboxScanner::takeField(std::string_view line, std::size_t linePos, ScannedMessage& out,
                            long& contentLength, bool& mime, bool& sun) {
    const std::string& priority = m_settings.priorityHeader;
    if (!priority.empty() && startsWithIgnoringCase(line, priority)) {
        out.record.priority =
            priorityOf(decodedValue(trimmedFront(line.substr(priority.size()), isBlank)));
        return;
    }
    // The first letter and the colon's place, compared first, turn away
    // nearly every other field without a comparison of the whole name.
    char first = toLower(line[0]);
    auto it = std::find_if(std::begin(kPrefixes), std::end(kPrefixes), [&](const Prefix& p) {
        return (p.text[0] | 0x20) == first && line.size() >= p.text.size() &&
               line[p.text.size() - 1] == ':' && startsWithIgnoringCase(line, p.text);
    });
    if (it == std::end(kPrefixes)) return;
    std::string_view value = trimmedFront(line.substr(it->text.size()), isBlank);
    switch (it->field) {
        case Field::To:
            assignDecoded(m_recipient, value);
            break;
        case Field::ContentLength:
            contentLength = isDigit(value.empty() ? 'x' : value[0])
                                ? std::strtol(std::string(value).c_str(), nullptr, 10)
                                : -1;
            break;
        case Field::ContentType:
            mime = isMimeType(value);
            sun = startsWithIgnoringCase(value, "X-sun-attachment");
            break;
        case Field::From:
            assignDecoded(out.record.sender, value);
            break;
        case Field::Subject:
            assignDecoded(out.record.subject, value);
            break;
        case Field::Reference: {
            out.record.type = value.substr(0, 4) == ".vox" ? 'v' : 'r';
            std::size_t comma = value.find(',');
            if (comma != std::string_view::npos && comma + 2 < value.size() &&
                value[comma + 2] == 'E') {
                out.record.encrypted = 'e';
            }
            out.record.reference.assign(value.substr(0, std::min(comma, value.find('\0'))));
            out.referencePosition = linePos;
            out.hasReference = true;
            break;
        }
        case Field::Priority:
            break;
    }
}

// Where the search for the next "From " line starts. A Content-Length is only
// believed when it lands on (or just before) a "From " line or at the end of
// the file; otherwise it is wrong, as it often is in mail that was edited.
std::size_t MboxScanner::messageEnd(std::size_t headerEnd, long contentLength) {
    if (contentLength < 0) return headerEnd;
    std::size_t size = m_mbox.size();
    if (static_cast<unsigned long>(contentLength) >= size - headerEnd) return size;
    std::size_t jump = headerEnd + static_cast<std::size_t>(contentLength);
    std::size_t window = kContentLengthSlack + kFromLine.size() - 1;
    std::string_view near = m_mbox.at(jump, window).substr(0, window);
    return findFromLine(near, 0) != std::string_view::npos ? jump : headerEnd;
}

// A priority word's 1-based place in "PriorityValues", else its first digit, else 0.
std::uint32_t MboxScanner::priorityOf(std::string value) const {
    int place = ordinalValue(m_settings.priorityValues, value, -1);
    if (place >= 0) return static_cast<std::uint32_t>(place + 1);
    auto digit = std::find_if(value.begin(), value.end(), isDigit);
    return digit == value.end() ? 0 : static_cast<std::uint32_t>(*digit - '0');
}

ScanSettings scanSettingsFrom(Defaults& defaults, bool newMail) {
    return {defaults.priorityHeader(), defaults.priorityValues(), newMail, myAddresses(defaults)};
}

}  // namespace quill

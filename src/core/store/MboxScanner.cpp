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
std::string decodedValue(std::string_view v) {
    std::string s(v.substr(0, v.find('\0')));
    if (s.find("=?") != std::string::npos) decodeMimeHeaderWords(s);
    return s;
}

bool isMimeType(std::string_view v) {
    return v.find('/') != std::string_view::npos && !startsWithIgnoringCase(v, "text/plain") &&
           !startsWithIgnoringCase(v, "text/x-zellmail");
}

}  // namespace

// Most of a mailbox is body text, so this search sets the speed of the whole
// scan. Looking for the pair "\nF" sixteen bytes at a time skips nearly every
// line at once, where a newline search would stop at each of them.
std::size_t findFromLine(std::string_view text, std::size_t from) {
    const char* base = text.data();
    const char* end = base + text.size();
    const char* p = base + std::min(from, text.size());
    auto isFromLine = [&](const char* nl) {
        return end - nl >= 6 && std::memcmp(nl + 1, "From ", 5) == 0;
    };
#ifdef __SSE2__
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i capitalF = _mm_set1_epi8('F');
    for (; end - p >= 17; p += 16) {
        __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(here, newline), _mm_cmpeq_epi8(next, capitalF))));
        for (; mask; mask &= mask - 1) {
            const char* nl = p + __builtin_ctz(mask);
            if (isFromLine(nl)) return nl - base;
        }
    }
#endif
    for (; (p = static_cast<const char*>(std::memchr(p, '\n', end - p))); ++p) {
        if (isFromLine(p)) return p - base;
    }
    return std::string_view::npos;
}

namespace {
constexpr std::size_t kWindowSize = 4 << 20;
}  // namespace

MboxWindow::MboxWindow(std::string_view bytes) : m_size(bytes.size()), m_view(bytes) {}

// A small mailbox gets a buffer of its own size: the scan of a short file
// should not pay for clearing megabytes it never reads.
MboxWindow::MboxWindow(int fd, std::size_t size)
    : m_fd(fd), m_size(size), m_buffer(new char[std::min(kWindowSize, size)]) {}

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
    std::size_t len = std::min(kWindowSize, m_size - pos);
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
    for (const Prefix& p : kPrefixes) {
        m_interesting[static_cast<unsigned char>(toLower(p.text[0]))] = true;
    }
    if (!m_settings.priorityHeader.empty()) {
        m_interesting[static_cast<unsigned char>(toLower(m_settings.priorityHeader[0]))] = true;
        m_settings.priorityHeader += ':';
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
    out = ScannedMessage();
    out.record.status = m_settings.newMail ? MessageStatus::kNew : MessageStatus::kRead;
    out.record.offset = static_cast<std::int32_t>(m_pos);
    m_recipient.clear();
    readEnvelope(out);

    long contentLength = -1;
    bool mime = false, sun = false;
    std::size_t headerEnd = readHeader(out, contentLength, mime, sun);
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
// can read one (else the last good date, so undated mail sorts near its neighbours).
void MboxScanner::readEnvelope(ScannedMessage& out) {
    Line line = lineAt(m_pos);
    std::string_view rest = line.text.substr(std::min<std::size_t>(5, line.text.size()));
    std::size_t blank = rest.find_first_of(" \t");
    out.record.sender = std::string(rest.substr(0, std::min(blank, rest.find('\0'))));
    if (blank != std::string_view::npos) {
        if (auto date = packedDate(rest.substr(blank + 1))) {
            m_lastDate = *date;
            out.dated = true;
        }
    }
    out.record.date = m_lastDate;
}

// Reads header lines after the "From " line; answers where the body begins.
std::size_t MboxScanner::readHeader(ScannedMessage& out, long& contentLength, bool& mime,
                                    bool& sun) {
    std::size_t pos = lineAt(m_pos).next;
    while (pos < m_mbox.size()) {
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

void MboxScanner::takeField(std::string_view line, std::size_t linePos, ScannedMessage& out,
                            long& contentLength, bool& mime, bool& sun) {
    const std::string& priority = m_settings.priorityHeader;
    if (!priority.empty() && startsWithIgnoringCase(line, priority)) {
        out.record.priority =
            priorityOf(decodedValue(trimmedFront(line.substr(priority.size()), isBlank)));
        return;
    }
    // Comparing first letters (the prefixes all start with one) skips most calls.
    char first = toLower(line[0]);
    auto it = std::find_if(std::begin(kPrefixes), std::end(kPrefixes), [&](const Prefix& p) {
        return (p.text[0] | 0x20) == first && startsWithIgnoringCase(line, p.text);
    });
    if (it == std::end(kPrefixes)) return;
    std::string_view value = trimmedFront(line.substr(it->text.size()), isBlank);
    switch (it->field) {
        case Field::To:
            m_recipient = decodedValue(value);
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
            out.record.sender = decodedValue(value);
            break;
        case Field::Subject:
            out.record.subject = decodedValue(value);
            break;
        case Field::Reference: {
            out.record.type = value.substr(0, 4) == ".vox" ? 'v' : 'r';
            std::size_t comma = value.find(',');
            if (comma != std::string_view::npos && comma + 2 < value.size() &&
                value[comma + 2] == 'E') {
                out.record.encrypted = 'e';
            }
            out.record.reference = std::string(value.substr(0, std::min(comma, value.find('\0'))));
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

#include "store/Toc.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <memory>
#include <unordered_map>

#include "base/Diagnostics.h"
#include "message/fieldutil.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"
#include "store/MailBoxWindow.h"
#include "store/MboxScanner.h"
#include "store/SplitScan.h"
#include "store/diskusage.h"
#include "store/durable.h"

namespace quill {

using namespace tocformat;

namespace {

constexpr std::size_t kWriteChunk = 1 << 20;
constexpr int kProgressSteps = 1000;
constexpr std::uint32_t kUpgradePanelThreshold = 10;

std::int32_t mtimeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int32_t>(st.st_mtime) : -1;
}

constexpr std::size_t kReadPiece = 1 << 20;
// No record this program can hold is longer (its length is kept in 16 bits).
constexpr std::int32_t kMaxRecordLength = 32767;

// Reads the index from a descriptor's position a piece at a time through one
// small buffer, so loading never holds the whole file in memory.
class PieceReader {
  public:
    // A short index gets a buffer of its own size.
    explicit PieceReader(int fd)
        : m_fd(fd),
          m_pos(::lseek(fd, 0, SEEK_CUR)),
          m_capacity(std::min<std::int64_t>(
              kReadPiece,
              std::max<std::int64_t>(static_cast<std::int64_t>(fileSize(fd)) - m_pos, 0))),
          m_buffer(new char[m_capacity]) {}
    // At least n bytes at the read position, or nullptr when the file ends first.
    const char* need(std::size_t n) {
        if (m_end - m_begin >= n) return m_buffer.get() + m_begin;
        std::memmove(m_buffer.get(), m_buffer.get() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
        m_end += readAt(m_fd, m_buffer.get() + m_end, m_capacity - m_end,
                        m_pos + static_cast<off_t>(m_end));
        return m_end >= n ? m_buffer.get() : nullptr;
    }
    void consume(std::size_t n) {
        m_begin += n;
        m_pos += static_cast<off_t>(n);
    }
    off_t position() const { return m_pos; }

  private:
    int m_fd;
    off_t m_pos;  // file position of m_buffer + m_begin
    std::size_t m_capacity;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_begin = 0, m_end = 0;
};

// The fewest bytes a record takes: its fixed fields and three empty strings.
constexpr std::int64_t kMinRecordLength = kFixedSize + 3;

// True when what is left of the index after its read position can hold
// `count` records; a damaged count is caught before anything is reserved for it.
bool countFits(int fd, int count) {
    struct stat st;
    off_t here = ::lseek(fd, 0, SEEK_CUR);
    return ::fstat(fd, &st) == 0 && here >= 0 &&
           std::int64_t(count) * kMinRecordLength <= std::int64_t(st.st_size) - here;
}

// A message's size with its attachment, kept in the 32 bits the list shows;
// the attachment word is outside data and may hold anything.
std::int32_t sizeWithAttachment(std::int32_t length, std::int32_t attachSize) {
    std::int64_t size = std::int64_t(length) + std::max<std::int32_t>(attachSize, 0);
    return static_cast<std::int32_t>(std::min<std::int64_t>(size, INT32_MAX));
}

// The ends of a record's three strings, or false when they overrun the record.
bool skipStrings(const char* p, const char* end, const char*& after) {
    for (int i = 0; i < 3; ++i) {
        auto nul = static_cast<const char*>(std::memchr(p, '\0', end - p));
        if (!nul) return false;
        p = nul + 1;
    }
    after = p;
    return true;
}

// Number of NUL bytes in [p, end); the 16 bytes before `end` must be readable.
int countNuls(const char* p, const char* end) {
#ifdef __SSE2__
    // Sixteen bytes at a time; psadbw adds up the 0/1 bytes of each comparison.
    static const char kTailMask[32] = {0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
                                       0,  0,  0,  0,  0,  -1, -1, -1, -1, -1, -1,
                                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
    __m128i sum = zero;
    auto add = [&](__m128i bytes, __m128i keep) {
        __m128i nul = _mm_and_si128(_mm_cmpeq_epi8(bytes, zero), keep);
        sum = _mm_add_epi64(sum, _mm_sad_epu8(_mm_and_si128(nul, one), zero));
    };
    for (; end - p >= 16; p += 16) add(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), one);
    if (std::size_t left = static_cast<std::size_t>(end - p)) {
        add(_mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16)),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(kTailMask + left)));
    }
    return _mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sum, sum));
#else
    return static_cast<int>(std::count(p, end, '\0'));
#endif
}

// Where a record's optional words start. Records written now end with all
// three words right after the third string's NUL; that common case is checked
// with one count, and anything else takes the string by string walk.
bool wordsOf(const char* rec, std::int32_t length, const char*& words) {
    const char* full = rec + length - 4 * kOptionalWords;
    if (length >= static_cast<std::int32_t>(kFixedSize + 3 + 4 * kOptionalWords) &&
        full[-1] == '\0' && countNuls(rec + kFixedSize, full) == 3) {
        words = full;
        return true;
    }
    return skipStrings(rec + kFixedSize, rec + length, words);
}

constexpr std::array<std::uint8_t, 256> flagTable(
    std::initializer_list<std::pair<char, std::uint8_t>> rows, std::uint8_t otherwise = 0) {
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t) v = otherwise;
    for (auto [c, f] : rows) t[static_cast<unsigned char>(c)] = f;
    return t;
}

// Message-list flags by status, type and encryption character.
constexpr auto kStatusFlags = flagTable({{'*', 0},
                                         {'u', 0},
                                         {'d', kMsgRead | kMsgDeleted},
                                         {'D', kMsgRead | kMsgDeleted},
                                         // "+" is the old flag mark; "f" is what a flag writes now.
                                         {'+', kMsgRead | kMsgFlagged},
                                         {'f', kMsgRead | kMsgFlagged}},
                                        kMsgRead);
constexpr auto kTypeFlags = flagTable({{'r', kMsgAttachment}, {'m', kMsgMime}, {'s', kMsgSun}});

// The attachment directory's size and time as the index keeps them.
void measureAttachment(const std::string& dir, std::int32_t& size, std::int32_t& time,
                       std::int32_t failedTime) {
    size = 0;
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) {
        reportPathError(dir, errno);
        time = failedTime;
        return;
    }
    time = static_cast<std::int32_t>(st.st_mtime);
    std::int64_t bytes = 0;
    if (diskUsage(dir, bytes)) {
        size = static_cast<std::int32_t>(bytes);
    } else {
        reportPathError(dir, errno);
    }
}

// A header whose records may be read. A negative count can only come from
// damage: the index is rebuilt rather than refused.
bool trusted(const Header& header) { return header.magic == kMagic && header.count >= 0; }

// The header's record count, or -1 when the index must be rebuilt.
int trustedCount(std::string_view index) {
    if (index.size() < kHeaderSize) return -1;
    Header header = decodeHeader(index.data());
    return trusted(header) ? header.count : -1;
}

// A file in anonymous memory holding `bytes`, positioned after the header.
UniqueFd memoryFile(std::string_view bytes) {
    UniqueFd fd(::memfd_create("table_of_contents", MFD_CLOEXEC));
    if (fd && (!writeAll(fd.get(), bytes) || ::lseek(fd.get(), kHeaderSize, SEEK_SET) < 0)) {
        fd.reset();
    }
    return fd;
}

// The index a rebuild makes of `mbox` held in memory: no attachment directory
// to measure (a failed measure leaves size and time 0), the header's time 0.
std::string rebuiltIndex(std::string_view mbox, const ScanSettings& settings) {
    std::string out(kHeaderSize, '\0');
    Header header;
    header.count =
        SplitScan::appendRecords(mbox, settings, SplitScan::splitPoint(0, mbox.size()), out);
    encodeHeader(header, out.data());
    return out;
}

// The panel of a long index operation, or the progress a caller handed over
// instead (a rebuild on another thread shows no panel of its own).
class Progress {
  public:
    Progress(Panels& panels, bool show, const char* format, const std::string& name,
             std::size_t total, ProgressPanel* handed = nullptr)
        : m_total(total), m_panel(handed) {
        if (!show) {
            m_panel = nullptr;
            return;
        }
        if (!m_panel) {
            m_owned = panels.beginProgress(
                localized(kAlertsTable, "Open Mailbox"),
                formatString(localized(kAlertsTable, format).c_str(), name.c_str()), true);
            m_panel = m_owned.get();
        }
        m_step = std::max<std::size_t>(1, total / kProgressSteps);
    }
    // False once the user asked to stop.
    bool advance(std::size_t done) {
        if (!m_panel) return true;
        if (done >= m_next || done == 0) {
            m_panel->setFraction(m_total ? double(done) / double(m_total) : 0.0);
            m_next = done + m_step;
            m_cancelled = m_panel->cancelled();
        }
        return !m_cancelled;
    }
    bool cancelled() const { return m_cancelled; }

  private:
    std::unique_ptr<ProgressPanel> m_owned;
    std::size_t m_total;
    ProgressPanel* m_panel;
    std::size_t m_step = 1;
    std::size_t m_next = 0;
    bool m_cancelled = false;
};

}  // namespace

void Toc::fileError(int code) const { m_context.fail(Status::fileFailure(code, m_tocName)); }

bool Toc::reopen(int flags, int errorCode) {
    m_tocFile = openFile(m_tocName, flags);
    if (!m_tocFile) {
        fileError(errorCode);
        return false;
    }
    return true;
}

bool Toc::writeAt(std::int64_t position, const char* bytes, std::size_t n) {
    return durable::writeAt(m_tocFile.get(), {bytes, n}, position, m_tocName).ok();
}

void Toc::writeField(std::int64_t position, const char* bytes, std::size_t n, bool sync) {
    if (!writeAt(position, bytes, n)) {
        fileError(kFileWrite);
    } else if (sync) {
        flushFile();
    }
}

void Toc::nameFor(MailBox& mailbox) {
    if (m_tocName.empty()) m_tocName = mailbox.dirname() + "/table_of_contents";
}

int Toc::openMatching(MailBox& mailbox, int& count) {
    nameFor(mailbox);
    m_tocFile.reset();
    UniqueFd fd = openFile(m_tocName, O_RDONLY);
    if (!fd) return errno == ENOENT ? 0 : -1;
    char raw[kHeaderSize];
    // A header cut short is damage like any other and is never decoded.
    bool whole = readAllAt(fd.get(), raw, sizeof raw, 0);
    Header header = whole ? decodeHeader(raw) : Header{};
    if (!whole || !trusted(header) || header.time != mtimeOf(mailbox.mailFileName())) return 0;
    ::lseek(fd.get(), kHeaderSize, SEEK_SET);
    m_tocFile = std::move(fd);
    count = header.count;
    return 1;
}

int Toc::openTocFor(MailBox& mailbox) {
    int count = 0;
    int matched = openMatching(mailbox, count);
    if (matched < 0) {
        count = -errno;
    } else if (matched == 0) {
        count = writeFileFor(mailbox);
    }
    if (count < 0) fileError(kFileOpen);
    return count;
}

// The index is built aside and put in place whole, so a cancelled or failed
// rebuild leaves the old file as it was.
int Toc::writeFileFor(MailBox& mailbox) {
    nameFor(mailbox);
    struct stat old;
    TempFile built(m_tocName, ::stat(m_tocName.c_str(), &old) == 0 ? old.st_mode & 07777 : 0644);
    if (built.valid()) return writeIndex(mailbox, &built);
    // A folder that takes no new file may still let its index be rewritten:
    // then it is rebuilt where it lies, as a cancel leaves it to be rebuilt again.
    if (errno != EACCES) return -errno;
    return writeIndex(mailbox, nullptr);
}

int Toc::writeIndex(MailBox& mailbox, TempFile* built) {
    std::int32_t time = mtimeOf(mailbox.mailFileName());
    m_tocFile =
        built ? UniqueFd(::dup(built->fd())) : openFile(m_tocName, O_WRONLY | O_CREAT | O_TRUNC);
    char raw[kHeaderSize] = {};
    if (!m_tocFile || !writeAll(m_tocFile.get(), {raw, sizeof raw})) return -errno;
    ::fseeko(mailbox.mailFile(), 0, SEEK_SET);
    int count = buildFor(mailbox, false, true);
    if (count >= 0) {
        Header header;
        header.count = count;
        header.time = time;
        header.tocHeight = mailbox.getTocHeight();
        mailbox.getWindowFrame(header.frame);
        encodeHeader(header, raw);
        bool written = writeAt(0, raw, sizeof raw);
        m_tocFile.reset();
        if (!written || (built && !built->commit())) count = -1;
    }
    int saved = errno;
    m_tocFile = openFile(m_tocName, O_RDONLY);
    if (count < 0) return -(saved ? saved : EIO);
    if (!m_tocFile) return -errno;
    ::lseek(m_tocFile.get(), kHeaderSize, SEEK_SET);
    return count;
}

int Toc::buildFor(MailBox& mailbox, bool newMail, bool rebuilding) {
    ScanSettings settings =
        m_offThread ? m_offThread->settings : scanSettingsFrom(m_context.defaults, newMail);
    std::FILE* mail = mailbox.mailFile();
    off_t start = ::ftello(mail);
    struct stat st;
    if (::fstat(::fileno(mail), &st) != 0) return -1;
    std::size_t size = static_cast<std::size_t>(st.st_size);
    Progress progress(m_context.panels, rebuilding && size > 0,
                      "Rebuilding table of contents for %s.  Please wait...", mailbox.dirname(),
                      size, m_offThread ? m_offThread->progress : nullptr);
    MboxWindow window(::fileno(mail), size);
    std::string out;
    int count = 0;
    // Counts the records just added to `out` and writes `out` once it is large.
    auto recordsAdded = [&](int n) {
        count += n;
        if (out.size() < kWriteChunk) return true;
        bool written = writeAll(m_tocFile.get(), out);
        out.clear();
        return written;
    };
    SplitScan::Receiver receiver;
    receiver.message = [&](ScannedMessage& msg) {
        Record& r = msg.record;
        if (msg.hasReference) {
            if (!mailbox.fixAttachment(r.reference, static_cast<long>(msg.referencePosition),
                                       r.encrypted == 'e')) {
                return false;
            }
            measureAttachment(mailbox.dirname() + "/" + r.reference, r.attachSize, r.attachTime, 0);
        }
        appendRecord(out, r);
        return recordsAdded(1);
    };
    receiver.records = [&](std::string_view records, int n) {
        if (records.size() < kWriteChunk) {
            out.append(records);
            return recordsAdded(n);
        }
        // A long run of the worker's records is written where it lies.
        count += n;
        bool written = writeAll(m_tocFile.get(), out) && writeAll(m_tocFile.get(), records);
        out.clear();
        return written;
    };
    std::size_t first = start < 0 ? 0 : static_cast<std::size_t>(start);
    receiver.progress = [&](std::size_t done) { return progress.advance(first + done); };
    SplitScan scan(window, settings);
    if (!scan.run(first, SplitScan::splitPoint(first, size), receiver) && !progress.cancelled()) {
        return -1;
    }
    if (!writeAll(m_tocFile.get(), out)) return -1;
    ::fseeko(mail, static_cast<off_t>(window.size()), SEEK_SET);
    if (progress.cancelled()) {
        errno = ENOENT;
        return -1;
    }
    return count;
}

// Entries grow by doubling for appended mail; the first load takes exactly
// what it needs, since a large mailbox is mostly opened and read.
void Toc::ensureLength(std::uint32_t needed) {
    if (needed > m_data.capacity()) {
        m_data.reserve(m_data.empty() ? needed : std::size_t(needed) * 2);
    }
    if (needed > m_data.size()) m_data.resize(needed);
}

void Toc::loadToc(MailBox& mailbox, int count, int start) {
    loadRecords(mailbox.mailLength(), count, start);
}

void Toc::loadRecords(std::int64_t mailLength, int count, int start) {
    forgetSummaries();
    if (count < 0 || start < 0 || std::int64_t(start) + count > INT32_MAX)
        throw MailBadTOC("Error reading mailfile");
    if (!countFits(m_tocFile.get(), count))
        throw MailBadTOC(
            formatString("Index claims %d messages, more than its records hold", count));
    ensureLength(static_cast<std::uint32_t>(start + count));
    PieceReader in(m_tocFile.get());
    for (int i = start; i < start + count; ++i) {
        const char* p = in.need(kFixedSize);
        if (!p) throw MailBadTOC("Error reading mailfile");
        TocEntry& e = m_data[i];
        std::int32_t recordLength = getI32(p);
        e.tocPosition = static_cast<std::int32_t>(in.position());
        e.offset = getI32(p + kOffsetOffset);
        e.length = getI32(p + kLengthOffset);
        e.date = getU32(p + kDateOffset);
        e.recordLength = static_cast<std::int16_t>(recordLength);
        e.status = MessageStatus(p[kStatusOffset]);
        e.type = p[kTypeOffset];
        e.encrypted = p[kEncryptedOffset];
        int day = e.date & 0x1f, month = (e.date >> 5) & 0xf, year = e.date >> 9;
        if (day < 1 || month < 1 || month > 12 || year > 9999 || e.offset < 0 || e.length < 0 ||
            std::int64_t(e.offset) + e.length > mailLength || p[kPadOffset] != ' ') {
            throw MailBadTOC("Date of message corrupt");
        }
        const char* words = nullptr;
        if (recordLength < static_cast<std::int32_t>(kFixedSize) ||
            recordLength > kMaxRecordLength || !(p = in.need(recordLength)) ||
            !wordsOf(p, recordLength, words)) {
            throw MailBadTOC("Error reading mailfile");
        }
        // Each word read straight into its field: an array filled in a loop
        // and read back costs a stall per record.
        std::size_t present = std::min<std::size_t>((p + recordLength - words) / 4, kOptionalWords);
        if (e.type == 'r' && present == 0) m_needUpdate = true;
        e.size = sizeWithAttachment(e.length, present > 0 ? getI32(words) : 0);
        e.attachTime = present > 1 ? getI32(words + 4) : 0;
        e.priority = static_cast<std::uint8_t>(present > 2 ? getU32(words + 8) : 0);
        in.consume(static_cast<std::size_t>(recordLength));
    }
    // Records beyond the count mean the header and the records disagree.
    if (in.need(1)) throw MailBadTOC("Error reading mailfile");
    m_length = std::max<std::uint32_t>(m_length, static_cast<std::uint32_t>(start + count));
    ::lseek(m_tocFile.get(), in.position(), SEEK_SET);
}

Toc* Toc::safeLoadToc(MailBox& mailbox) {
    forgetSummaries();
    for (int attempt = 0; attempt < 2; ++attempt) {
        int count = openTocFor(mailbox);
        if (count < 0) {
            mailbox.fileError(kFileOpen);
            return nullptr;
        }
        if (loadOrDiscard(mailbox, count)) return this;
    }
    return nullptr;
}

bool Toc::loadCurrent(MailBox& mailbox) {
    forgetSummaries();
    int count = 0;
    if (openMatching(mailbox, count) <= 0) return false;
    return loadOrDiscard(mailbox, count);
}

Toc* Toc::rebuildOffThread(MailBox& mailbox, const OffThreadRebuild& how) {
    m_offThread = &how;
    Toc* loaded = safeLoadToc(mailbox);
    m_offThread = nullptr;
    return loaded;
}

bool Toc::loadOrDiscard(MailBox& mailbox, int count) {
    m_length = 0;
    try {
        loadToc(mailbox, count, 0);
        m_loadAtStart = true;
        return true;
    } catch (const MailBadTOC& bad) {
        logWarning("Toc", "%s", bad.what());
        logRaw(formatString("Rebuilding table of contents: %s\n", m_tocName.c_str()));
        m_length = 0;
        m_tocFile.reset();
        ::unlink(m_tocName.c_str());
        return false;
    }
}

Toc* Toc::openInMemory(std::string_view index, std::string_view mbox) {
    forgetSummaries();
    std::int64_t mailLength = static_cast<std::int64_t>(mbox.size());
    if (trustedCount(index) >= 0 && loadFromMemory(index, mailLength)) return this;
    std::string rebuilt = rebuiltIndex(mbox, scanSettingsFrom(m_context.defaults, false));
    return loadFromMemory(rebuilt, mailLength) ? this : nullptr;
}

bool Toc::loadFromMemory(std::string_view index, std::int64_t mailLength) {
    m_length = 0;
    m_tocFile = memoryFile(index);
    if (!m_tocFile) return false;
    try {
        loadRecords(mailLength, trustedCount(index), 0);
        m_loadAtStart = true;
        return true;
    } catch (const MailBadTOC& bad) {
        logWarning("Toc", "%s", bad.what());
        m_length = 0;
        return false;
    }
}

Toc* Toc::markUnmatched() {
    char zero[4] = {};
    if (!writeAt(kTimeOffset, zero, sizeof zero)) {
        fileError(kFileWrite);
        return nullptr;
    }
    return flushFile();
}

Toc* Toc::setAppendMode() {
    if (m_tocFile && m_tocFile.close() != 0) {
        fileError(kFileClose);
        return nullptr;
    }
    return reopen(O_RDWR, kFileOpen) ? this : nullptr;
}

Toc* Toc::repairToc(MailBox& mailbox) {
    if (m_tocFile && m_tocFile.close() != 0) {
        fileError(kFileClose);
        return nullptr;
    }
    struct stat st;
    if (::stat(m_tocName.c_str(), &st) != 0) {
        fileError(kFileStat);
        return nullptr;
    }
    if (!reopen(O_WRONLY | O_APPEND, kFileOpen)) return nullptr;
    m_loadAtStart = false;
    int added = buildFor(mailbox, false, false);
    if (added < 0 || !flushFile()) return nullptr;
    return loadAppended(mailbox, added, st.st_size);
}

Toc* Toc::loadAppended(MailBox& mailbox, int added, off_t oldSize) {
    if (!reopen(O_RDONLY, kFileOpen)) return nullptr;
    ::lseek(m_tocFile.get(), oldSize, SEEK_SET);
    bool bad = false;
    std::uint32_t first = m_length;
    try {
        loadToc(mailbox, added, static_cast<int>(first));
        loadMsgListAt(static_cast<int>(first), added);
    } catch (const MailBadTOC&) {
        bad = true;
    }
    if (bad) {
        if (!safeLoadToc(mailbox)) return nullptr;
        loadMsgListAt(0, static_cast<int>(m_length));
    }
    if (!reopen(O_RDWR, kFileOpen)) return nullptr;
    char word[4];
    putU32(word, m_length);
    bool ok = writeAt(kCountOffset, word, 4);
    putU32(word, static_cast<std::uint32_t>(mtimeOf(mailbox.mailFileName())));
    ok = ok && writeAt(kTimeOffset, word, 4);
    if (!ok) {
        fileError(kFileWrite);
        return nullptr;
    }
    return flushFile();
}

Toc* Toc::flushFile() {
    if (!durable::sync(m_tocFile.get(), m_tocName).ok()) {
        fileError(kFileSync);
        return nullptr;
    }
    return this;
}

// Records of older versions lack the attachment words; a copy of the whole
// index is built with them and saved over the file in one step, so a crash
// leaves either the old or the new index.
int Toc::updateTocForMailbox(MailBox& mailbox) {
    if (!m_tocFile && !reopen(O_RDWR, kFileOpen)) return 0;
    std::string in;
    struct stat st;
    if (::fstat(m_tocFile.get(), &st) != 0 || !readFile(m_tocName, in) || in.size() < kHeaderSize) {
        fileError(kFileRead);
        return 0;
    }
    Progress progress(m_context.panels, m_length > kUpgradePanelThreshold,
                      "Upgrading table of contents for %s.  Please wait...", mailbox.dirname(),
                      m_length);
    std::string out = in.substr(0, kHeaderSize);
    std::vector<TocEntry> updated(m_data.begin(), m_data.begin() + m_length);
    for (std::uint32_t i = 0; i < m_length; ++i) {
        if (!progress.advance(i)) return 1;
        TocEntry& e = updated[i];
        const char* rec = in.data() + e.tocPosition;
        const char* recordEnd = rec + e.recordLength;
        const char* words = nullptr;
        if (e.tocPosition + std::size_t(e.recordLength) > in.size() ||
            !skipStrings(rec + kFixedSize, recordEnd, words)) {
            fileError(kFileRead);
            return 0;
        }
        std::size_t newPosition = out.size();
        std::size_t head = words - rec;
        out.append(rec, head);
        if (e.type == 'r') {
            std::size_t present = std::min<std::size_t>((recordEnd - words) / 4, 2);
            std::int32_t size = present > 0 ? getI32(words) : 0;
            std::int32_t time = present > 1 ? getI32(words + 4) : 0;
            if (present < 2) {
                measureAttachment(mailbox.dirname() + "/" + loadAttach(static_cast<int>(i)), size,
                                  time, -1);
            }
            appendU32(out, static_cast<std::uint32_t>(size));
            appendU32(out, static_cast<std::uint32_t>(time));
            words += 4 * present;
            e.recordLength = static_cast<std::int16_t>(e.recordLength + 4 * (2 - present));
            e.size = e.length + size;
            e.attachTime = time;
        }
        out.append(words, recordEnd - words);
        putU32(out.data() + newPosition, static_cast<std::uint32_t>(e.recordLength));
        e.tocPosition = static_cast<std::int32_t>(newPosition);
    }
    TempFile temp(m_tocName, st.st_mode & 07777);
    if (!temp.valid() || !temp.write(out) || !temp.commit()) {
        fileError(kFileWrite);
        return 0;
    }
    std::copy(updated.begin(), updated.end(), m_data.begin());
    forgetSummaries();
    if (!reopen(O_RDWR, kFileOpen)) return 0;
    m_needUpdate = false;
    return 1;
}

std::string Toc::readRecord(int index) const {
    const TocEntry& e = m_data[index];
    std::string rec(static_cast<std::size_t>(std::max<int>(e.recordLength, 0)), '\0');
    rec.resize(readAt(m_tocFile.get(), rec.data(), rec.size(), e.tocPosition));
    return rec;
}

void Toc::updateMessageAt(int index, std::int32_t attachSize, std::int32_t attachTime) {
    TocEntry& e = m_data[index];
    std::string rec = readRecord(index);
    const char* words = nullptr;
    if (rec.size() < kFixedSize ||
        !skipStrings(rec.data() + kFixedSize, rec.data() + rec.size(), words)) {
        return;
    }
    // An older record without room for the words is left for the upgrade.
    std::size_t at = words - rec.data();
    if (at + 8 <= rec.size()) {
        char bytes[8];
        putU32(bytes, static_cast<std::uint32_t>(attachSize));
        putU32(bytes + 4, static_cast<std::uint32_t>(attachTime));
        writeField(e.tocPosition + static_cast<std::int64_t>(at), bytes, sizeof bytes, true);
    }
    e.size = sizeWithAttachment(e.length, attachSize);
    e.attachTime = attachTime;
    forgetSummaries();
}

std::uint8_t Toc::flagsOf(const TocEntry& e) const {
    return kStatusFlags[static_cast<unsigned char>(e.status.toChar())] |
           kTypeFlags[static_cast<unsigned char>(e.type)] |
           (e.encrypted == 'e' ? kMsgEncrypted : 0);
}

void Toc::loadMsgListAt(int first, int count) {
    // Filled in place: a record built aside and copied in stalls on every copy.
    m_msgList.clear();
    m_msgList.resize(static_cast<std::size_t>(count));
    MsgListRecord* r = m_msgList.data();
    for (int i = first; i < first + count; ++i, ++r) {
        const TocEntry& e = m_data[i];
        r->index = i;
        r->date = e.date;
        r->flags = flagsOf(e);
        r->size = e.size;
        r->priority = e.priority;
    }
}

MessageStatus Toc::setState(MessageStatus state, int forMsg, bool flush) {
    TocEntry& e = m_data[forMsg];
    MessageStatus old = e.status;
    countState(e, -1);
    e.status = state;
    countState(e, 1);
    if (m_marked && state.isCurrent()) m_marked->push_back(forMsg);
    char onDisk = state.toChar();
    if (m_mboxAccess) writeField(e.tocPosition + std::int64_t(kStatusOffset), &onDisk, 1, flush);
    return old;
}

void Toc::rmEncr(int index) {
    TocEntry& e = m_data[index];
    e.encrypted = ' ';
    if (m_mboxAccess) writeField(e.tocPosition + std::int64_t(kEncryptedOffset), " ", 1, true);
}

void Toc::setCurMsg(int index) {
    std::vector<int> marked;
    if (m_marked) {
        marked.swap(*m_marked);
        std::sort(marked.begin(), marked.end());
        marked.erase(std::unique(marked.begin(), marked.end()), marked.end());
    } else {
        for (std::uint32_t i = 0; i < m_length; ++i) marked.push_back(static_cast<int>(i));
        m_marked.emplace();
    }
    for (int i : marked) {
        MessageStatus s = m_data[i].status;
        if (i != index && s.isCurrent()) setState(s.asNotCurrent(), i, false);
    }
    m_marked->clear();
    if (index >= 0) {
        MessageStatus s = m_data[index].status;
        if (!s.isCurrent()) setState(s.asCurrent(), index, false);
        m_marked->push_back(index);
    }
    if (m_mboxAccess) flushFile();
}

int Toc::selectedMsg() const {
    for (std::uint32_t i = 0; i < m_length; ++i) {
        if (m_data[i].status.isCurrent()) return static_cast<int>(i);
    }
    return -1;
}

int Toc::undeleteMsg() const {
    for (std::uint32_t i = m_length; i-- > 0;) {
        if (m_data[i].status.isDeleted()) return static_cast<int>(i);
    }
    return -1;
}

void Toc::deleteMessages(const std::vector<int>& indices) {
    for (int i : indices) setState(MessageStatus::kDeleted, i, false);
    if (m_mboxAccess) flushFile();
}

std::string Toc::loadAttach(int index) const {
    std::string rec = readRecord(index);
    if (rec.size() <= kFixedSize) return {};
    const char* p = rec.data() + kFixedSize;
    const char* end = rec.data() + rec.size();
    for (int skip = 0; skip < 2 && p < end; ++skip) p += ::strnlen(p, end - p) + 1;
    return p < end ? std::string(p, ::strnlen(p, end - p)) : std::string();
}

namespace {

// "To: Bob" for mail the user sent, else the display names of the senders.
std::string displaySender(std::string sender) {
    if (!sender.starts_with("To:") && sender.find("(To:") != std::string::npos) {
        sender = addressComment(sender);
    }
    std::string out;
    std::string_view rest = sender;
    if (rest.starts_with("To:")) {
        std::size_t keep = rest.size() > 3 && rest[3] == ' ' ? 4 : 3;
        out.assign(rest.substr(0, keep));
        rest.remove_prefix(keep);
    }
    bool first = true;
    for (std::string_view piece : splitAtAddressCommas(rest)) {
        if (!first) out += ", ";
        out += addressComment(piece);
        first = false;
    }
    return out;
}

// The subject and the sender as stored, from one record's bytes.
void recordTexts(std::string_view rec, std::string& subject, std::string_view& sender) {
    subject.clear();
    sender = {};
    if (rec.size() <= kFixedSize) return;
    const char* p = rec.data() + kFixedSize;
    const char* end = rec.data() + rec.size();
    sender = std::string_view(p, ::strnlen(p, end - p));
    p += sender.size() + 1;
    if (p < end) subject.assign(p, ::strnlen(p, end - p));
}

}  // namespace

void Toc::loadSubject(int index, std::string& subject, std::string& from) const {
    std::string rec = readRecord(index);
    std::string_view sender;
    recordTexts(rec, subject, sender);
    from = displaySender(std::string(sender));
}

// Records lie one after another in the file, so a large window of it read at
// once holds many; a record outside the window starts the next read there.
// A mailbox has far fewer senders than messages, so each one's display form
// is worked out once.
void Toc::loadSubjects(int first, int count, const SubjectSink& sink) const {
    constexpr std::size_t kWindow = 1 << 20;
    std::string window;
    std::int64_t windowStart = 0;
    std::unordered_map<std::string_view, std::string> shownSenders;
    std::deque<std::string> senders;  // the keys, kept where the map's views point
    std::string subject, from;
    std::string_view sender;
    int last = std::min<int>(first + count, static_cast<int>(m_length));
    for (int i = std::max(first, 0); i < last; ++i) {
        const TocEntry& e = m_data[i];
        std::size_t length = static_cast<std::size_t>(std::max<int>(e.recordLength, 0));
        std::int64_t at = e.tocPosition - windowStart;
        if (at < 0 || static_cast<std::size_t>(at) + length > window.size()) {
            window.resize(std::max(kWindow, length));
            window.resize(readAt(m_tocFile.get(), window.data(), window.size(), e.tocPosition));
            windowStart = e.tocPosition;
            at = 0;
        }
        std::string_view rec(window);
        recordTexts(rec.substr(static_cast<std::size_t>(at), length), subject, sender);
        auto shown = shownSenders.find(sender);
        if (shown == shownSenders.end()) {
            const std::string& key = senders.emplace_back(sender);
            shown = shownSenders.emplace(key, displaySender(key)).first;
        }
        from = shown->second;
        sink(i, subject, from);
    }
}

MailboxStatus Toc::getMailboxStatus() const {
    if (m_status) return *m_status;
    m_status.emplace();
    for (std::uint32_t i = 0; i < m_length; ++i) {
        const TocEntry& e = m_data[i];
        ++m_status->count;
        m_status->size += e.size;
        countState(e, 1);
    }
    return *m_status;
}

// Adds (sign 1) or takes away (-1) what an entry's status counts for.
void Toc::countState(const TocEntry& e, int sign) const {
    if (!m_status) return;
    if (e.status.isDeleted()) {
        m_status->deletedCount += sign;
        m_status->deletedSize += sign * e.size;
    }
    if (e.status.isUnread()) {
        m_status->unreadCount += sign;
        m_status->unreadSize += sign * e.size;
    }
}

void Toc::forgetSummaries() {
    m_status.reset();
    m_marked.reset();
}

void Toc::getFrame(WindowFrame& frame, float& height) const {
    char raw[kHeaderSize] = {};
    if (!readAllAt(m_tocFile.get(), raw, sizeof raw, 0)) return;
    Header h = decodeHeader(raw);
    frame = h.frame;
    height = h.tocHeight;
}

void Toc::viewsChanged(MailBoxWindow& window) {
    Header h;
    window.getFrame(h.frame, h.tocHeight);
    char raw[kHeaderSize];
    encodeHeader(h, raw);
    if (!m_mboxAccess) return;
    // The index may still be open for reading only; the header is written
    // through a descriptor of its own.
    UniqueFd writer = openFile(m_tocName, O_WRONLY);
    const char* bytes = raw + kHeightOffset;
    if (!writer || !writeAllAt(writer.get(), {bytes, kHeaderSize - kHeightOffset}, kHeightOffset)) {
        fileError(kFileWrite);
    }
}

int Toc::calcAccess() {
    m_mboxAccess = ::access(m_tocName.c_str(), W_OK) == 0 ? 1 : 0;
    return m_mboxAccess;
}

}  // namespace quill

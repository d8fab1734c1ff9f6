// MboxScanner: one pass over an "mbox" file that cuts it into messages and
// reads the few header fields the index keeps (sender, subject, recipient,
// kind of body, attachment reference, priority). The file is read in large
// pieces into one reused buffer, which is faster than mapping it (the first
// touch of each mapped page is costly) and keeps memory flat however large
// the mailbox is; the body search runs at the speed of a newline search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "message/fieldutil.h"
#include "store/TocFormat.h"

namespace quill {

// The position of the next "\nFrom " at or after `from`, or npos.
std::size_t findFromLine(std::string_view text, std::size_t from);
// The position of the next newline at or after `from` whose line begins with
// `one` or `other` (neither empty), or npos.
std::size_t findLineStarting(std::string_view text, std::size_t from, std::string_view one,
                             std::string_view other);

// A window on the bytes of a file (or of a string, for tests), refilled on demand.
class MboxWindow {
  public:
    // The bytes read at a time: a piece that fits a core's second-level cache
    // is still there when the scan reaches it, where a piece of megabytes has
    // gone out to memory between the read and the scan.
    static constexpr std::size_t kPieceSize = 256 << 10;

    explicit MboxWindow(std::string_view bytes);
    MboxWindow(int fd, std::size_t size);

    // Another window on the same bytes with a buffer of its own, for a second thread.
    std::unique_ptr<MboxWindow> twin() const;

    std::size_t size() const { return m_size; }
    // The bytes from `pos` to the end of the window; at least `n` of them
    // unless the file ends first. Valid until the next call.
    std::string_view at(std::size_t pos, std::size_t n);
    // Position of the next "\nFrom " or of `text` (anywhere) at or after pos, or npos.
    std::size_t findFromLine(std::size_t pos);
    std::size_t find(std::string_view text, std::size_t pos);
    std::size_t findByte(char c, std::size_t pos);

  private:
    template <typename Search>
    std::size_t search(std::size_t pos, std::size_t overlap, Search search);

    int m_fd = -1;
    std::size_t m_size = 0;
    std::string_view m_view;  // the bytes buffered, starting at file position m_base
    std::size_t m_base = 0;
    std::unique_ptr<char[]> m_buffer;
};

struct ScanSettings {
    std::string priorityHeader;  // "PriorityHeader"; empty means none
    std::string priorityValues;  // "PriorityValues" word list
    bool newMail = false;        // new records are new rather than read
    MyAddresses me;              // mail from these is listed by its recipient
};

class Defaults;
// The scan settings a configuration asks for.
ScanSettings scanSettingsFrom(Defaults& defaults, bool newMail);

// One message as the scan found it.
struct ScannedMessage {
    tocformat::Record record;
    std::size_t referencePosition = 0;  // offset of the "Zell-Reference:" line
    bool hasReference = false;
    bool dated = false;  // the "From " line had a date (else it is the last one's)
};

class MboxScanner {
  public:
    MboxScanner(MboxWindow& mbox, ScanSettings settings);
    // Scans bytes already in memory.
    MboxScanner(std::string_view mbox, ScanSettings settings);

    // Moves to the first "From " at or after `start` (anywhere, not only at a
    // line start: text before it is not a message). False when there is none.
    bool seekFirst(std::size_t start);
    // Reads the message at the current position and moves past it. False when
    // the scan is done.
    bool next(ScannedMessage& out);
    std::size_t position() const { return m_pos; }
    // The date an undated message takes: that of the last dated one before it.
    std::uint32_t lastDate() const { return m_lastDate; }

  private:
    struct Line {
        std::string_view text;  // cut at 1023 bytes, without its line end
        std::size_t next;       // position after the line's newline
    };
    void configure(ScanSettings settings);
    Line lineAt(std::size_t pos);
    std::size_t skipLinesOfNoInterest(std::size_t pos);
    std::size_t readEnvelope(ScannedMessage& out);
    std::size_t readHeader(std::size_t pos, ScannedMessage& out, long& contentLength, bool& mime,
                           bool& sun);
    void takeField(std::string_view line, std::size_t linePos, ScannedMessage& out,
                   long& contentLength, bool& mime, bool& sun);
    std::size_t messageEnd(std::size_t headerEnd, long contentLength);
    std::uint32_t priorityOf(std::string value) const;

    std::unique_ptr<MboxWindow> m_ownWindow;
    MboxWindow& m_mbox;
    ScanSettings m_settings;
    std::size_t m_pos = std::string_view::npos;
    std::uint32_t m_lastDate = 0;
    std::string m_recipient;
    std::string m_longLine;
    bool m_interesting[256] = {};  // by the lower-case first letter of a field name
    bool m_stops[256] = {};        // first bytes of header lines the scan must read
    std::string m_stopLetters;     // the first letters, once each
};

}  // namespace quill

// MboxScanner: one pass over the bytes of an "mbox" file that cuts it into
// messages and reads the few header fields the index keeps (sender, subject,
// recipient, kind of body, attachment reference, priority). It works on a
// read-only view of the whole file so that the scan runs at the speed of the
// newline search; it never allocates per body line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "store/TocFormat.h"

namespace quill {

// The position of the next "\nFrom " at or after `from`, or npos.
std::size_t findFromLine(std::string_view text, std::size_t from);

struct ScanSettings {
    std::string priorityHeader;  // "PriorityHeader"; empty means none
    std::string priorityValues;  // "PriorityValues" word list
    bool newMail = false;        // new records get status '*' instead of ' '
};

// One message as the scan found it.
struct ScannedMessage {
    tocformat::Record record;
    std::size_t referencePosition = 0;  // offset of the "Zell-Reference:" line
    bool hasReference = false;
};

class MboxScanner {
  public:
    MboxScanner(std::string_view mbox, ScanSettings settings);

    // Moves to the first "From " at or after `start` (anywhere, not only at a
    // line start: text before it is not a message). False when there is none.
    bool seekFirst(std::size_t start);
    // Reads the message at the current position and moves past it. False when
    // the scan is done.
    bool next(ScannedMessage& out);
    std::size_t position() const { return m_pos; }

  private:
    struct Line {
        const char* text;
        std::size_t length;
        std::size_t next;  // position after the line's newline
    };
    Line lineAt(std::size_t pos) const;
    void readEnvelope(ScannedMessage& out);
    std::size_t readHeader(ScannedMessage& out, long& contentLength, bool& mime, bool& sun);
    void takeField(std::string_view line, std::size_t linePos, ScannedMessage& out,
                   long& contentLength, bool& mime, bool& sun);
    std::size_t messageEnd(std::size_t headerEnd, long contentLength) const;
    std::uint32_t priorityOf(std::string value) const;

    std::string_view m_mbox;
    ScanSettings m_settings;
    std::size_t m_pos = std::string_view::npos;
    std::uint32_t m_lastDate;
    std::string m_recipient;
    bool m_interesting[256] = {};
};

}  // namespace quill

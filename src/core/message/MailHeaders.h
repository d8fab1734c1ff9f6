// MailHeaders: the header block of a message, parsed from the lines before the
// first empty line, edited by the message classes and composition, written
// back with long values folded, and rendered for the reader with a set of
// headers hidden. The same class holds MIME parameter lists (MimeParameters).
//
// The block is stored bottom-up: position 0 is the last header of the message
// and position count-1 the first. Writing goes from count-1 down to 0, so the
// written order is the read order; addKey puts a header on top (trace headers
// are prepended, as transport requires) and a lookup finds the occurrence
// lowest in the message. The Unix envelope line is kept as the entry "From ".
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ByteSink.h"
#include "base/ByteSource.h"
#include "message/MailHeaderBinding.h"

namespace quill {

class MailHeaders {
  public:
    // The object that writes single header lines for a block (its message),
    // so a format can transliterate or encode 8-bit values. It ends by calling
    // MailHeaders::writeHeaderKey.
    class LineWriter {
      public:
        virtual ~LineWriter() = default;
        virtual bool writeHeaderKey(std::string_view key, std::string_view value,
                                    ByteSink& sink) = 0;
    };

    // Receives rendered text in runs: keys bold, values regular.
    using RunSink = std::function<void(std::string_view text, bool bold)>;

    // The envelope key: five characters, the blank included.
    static constexpr std::string_view kFromSpace = "From ";

    MailHeaders() = default;
    // A copy has the same pairs in the same order and no delegate.
    MailHeaders(const MailHeaders& other) : myHeaders(other.myHeaders) {}
    MailHeaders& operator=(const MailHeaders& other);
    virtual ~MailHeaders() = default;

    // A block parsed from the stream's header lines (the empty line is consumed).
    static std::unique_ptr<MailHeaders> initFromStream(ByteSource& stream);
    std::unique_ptr<MailHeaders> copy() const { return std::make_unique<MailHeaders>(*this); }

    int count() const { return static_cast<int>(myHeaders.size()); }
    std::string_view keyAt(int pos) const { return myHeaders.at(pos).key(); }
    const std::string& valueAt(int pos) const { return myHeaders.at(pos).value(); }
    void setValueAt(std::string_view value, int pos) { myHeaders.at(pos).setValue(value); }
    void setValueNoCopyAt(std::string&& value, int pos) {
        myHeaders.at(pos).setValueNoCopy(std::move(value));
    }

    // Inserts at a position counted from the bottom; the entry there and all
    // above move up, so the new one is written directly below them.
    void insertKey(std::string_view key, std::string_view value, int pos);
    // Puts the pair on top of the block (written first after the envelope).
    void addKey(std::string_view key, std::string_view value);
    void removeKeyAt(int pos);

    // Position of the lowest entry whose key matches ignoring ASCII case, or -1.
    int indexOfKey(std::string_view key) const;
    // Replaces the lowest matching value, adds the pair when there is none,
    // and with no value removes the lowest matching entry.
    void setKey(std::string_view key, std::optional<std::string_view> value);
    const std::string* valueForKey(std::string_view key) const;
    const std::string& safeValueForKey(std::string_view key) const;
    bool hasKey(std::string_view key) const { return indexOfKey(key) >= 0; }
    void removeKey(std::string_view key);

    bool hasFromSpace() const { return indexOfKey(kFromSpace) >= 0; }
    // true: adds an envelope entry (user, blank, ctime) unless one exists;
    // false: removes it.
    void setFromSpace(bool flag);

    // Appends the parsed header lines; always succeeds.
    bool readFromStream(ByteSource& stream);
    // Writes the envelope line, then every header through the line writer.
    // No terminating empty line.
    bool writeToStream(ByteSink& sink) const;
    // One header folded at 78 columns with tab continuations.
    static bool writeHeaderKey(std::string_view key, std::string_view value, ByteSink& sink);

    void setDelegate(LineWriter* delegate) { myDelegate = delegate; }
    LineWriter* delegate() const { return myDelegate; }

    // Renders the block in message order with the display filter's keys hidden.
    void replaceSelInText(const RunSink& out) const;
    static void replaceSelWithKey(std::string_view key, std::string_view value, const RunSink& out);

    // Process-wide: the display filter (a block used as a set of keys).
    static std::shared_ptr<const MailHeaders> filteredMailHeaders();
    static void setFilteredHeaders(std::shared_ptr<const MailHeaders> filter);
    // The lines of a selection to delete because the filter holds their key, as
    // (offset, length) pairs with the newline, last line first so a view can
    // delete them in order without shifting the ones still to come.
    static std::vector<std::pair<size_t, size_t>> filterSelHeaders(std::string_view selection);

    // Process-wide: writing a block without an envelope entry writes a fresh one.
    static void setForceFromSpaceLine(bool flag);
    // Login name, else the password entry of the real user, else "someone".
    static const std::string& fromSpaceUser();

  private:
    std::vector<MailHeaderBinding> myHeaders;
    LineWriter* myDelegate = nullptr;
};

}  // namespace quill

#include "message/MailHeaders.h"

#include <pwd.h>
#include <unistd.h>

#include <ctime>

#include "base/Diagnostics.h"
#include "base/ascii.h"

namespace quill {

namespace {

// A header line is read into a 1024-byte buffer: longer physical lines arrive
// in 1023-byte pieces, each handled as a line of its own.
constexpr size_t kLineBytes = 1023;
constexpr size_t kFoldColumn = 78;
constexpr int kContinuationColumn = 8;

bool s_forceFromSpaceLine = false;

std::shared_ptr<const MailHeaders>& displayFilter() {
    static std::shared_ptr<const MailHeaders> filter;
    return filter;
}

bool sameKey(std::string_view a, std::string_view b) {
    return (a.data() == b.data() && a.size() == b.size()) || equalsIgnoringCase(a, b);
}

// The current local time as ctime writes it, newline included (25 bytes).
std::string ctimeNow() {
    char buf[64];
    time_t now = ::time(nullptr);
    if (!::ctime_r(&now, buf)) return "Thu Jan  1 00:00:00 1970\n";
    return buf;
}

// Where to break the rest of a value written from column `column`: the last
// white space at or before the margin (not at offset 0), else the first one
// after it, so an unbreakable word runs past the margin rather than being cut.
// A key reaching the margin by itself breaks the value at its first white space.
size_t foldBreak(std::string_view rest, size_t column) {
    size_t limit = column < kFoldColumn ? kFoldColumn - column : 1;
    if (limit >= rest.size()) return rest.size();
    for (size_t i = limit; i > 0; --i)
        if (isSpace(rest[i])) return i;
    for (size_t i = limit; i < rest.size(); ++i)
        if (isSpace(rest[i])) return i;
    return rest.size();
}

// Appends a parsed header line to `parsed`, or warns and drops it.
void parseLine(std::string_view line, std::vector<MailHeaderBinding>& parsed) {
    if (isSpace(line[0]) && !parsed.empty()) {
        MailHeaderBinding& last = parsed.back();
        last.appendToValue(" ");
        last.appendToValue(trimmedFront(line));
        return;
    }
    if (line.starts_with(MailHeaders::kFromSpace)) {
        parsed.emplace_back(MailHeaders::kFromSpace, line.substr(MailHeaders::kFromSpace.size()));
        return;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        logWarning("MailHeaders", "Malformed header line \"%s\"", std::string(line).c_str());
        return;
    }
    parsed.emplace_back(line.substr(0, colon), trimmedFront(line.substr(colon + 1)));
}

}  // namespace

MailHeaders& MailHeaders::operator=(const MailHeaders& other) {
    myHeaders = other.myHeaders;
    return *this;
}

std::unique_ptr<MailHeaders> MailHeaders::initFromStream(ByteSource& stream) {
    auto block = std::make_unique<MailHeaders>();
    if (!block->readFromStream(stream)) return nullptr;
    return block;
}

void MailHeaders::insertKey(std::string_view key, std::string_view value, int pos) {
    myHeaders.insert(myHeaders.begin() + pos, MailHeaderBinding(key, value));
}

void MailHeaders::addKey(std::string_view key, std::string_view value) {
    myHeaders.emplace_back(key, value);
}

void MailHeaders::removeKeyAt(int pos) { myHeaders.erase(myHeaders.begin() + pos); }

int MailHeaders::indexOfKey(std::string_view key) const {
    for (size_t i = 0; i < myHeaders.size(); ++i)
        if (sameKey(myHeaders[i].key(), key)) return static_cast<int>(i);
    return -1;
}

void MailHeaders::setKey(std::string_view key, std::optional<std::string_view> value) {
    int pos = indexOfKey(key);
    if (!value) {
        if (pos >= 0) removeKeyAt(pos);
    } else if (pos >= 0) {
        setValueAt(*value, pos);
    } else {
        addKey(key, *value);
    }
}

const std::string* MailHeaders::valueForKey(std::string_view key) const {
    int pos = indexOfKey(key);
    return pos >= 0 ? &myHeaders[pos].value() : nullptr;
}

const std::string& MailHeaders::safeValueForKey(std::string_view key) const {
    static const std::string empty;
    const std::string* value = valueForKey(key);
    return value ? *value : empty;
}

void MailHeaders::removeKey(std::string_view key) {
    int pos = indexOfKey(key);
    if (pos >= 0) removeKeyAt(pos);
}

void MailHeaders::setFromSpace(bool flag) {
    if (!flag) {
        removeKey(kFromSpace);
    } else if (!hasFromSpace()) {
        addKey(kFromSpace, fromSpaceUser() + " " + ctimeNow().substr(0, 24));
    }
}

bool MailHeaders::readFromStream(ByteSource& stream) {
    std::vector<MailHeaderBinding> parsed;
    while (!stream.atEnd()) {
        std::string_view line = stream.readLine(kLineBytes);
        if (line.ends_with('\n')) line.remove_suffix(1);
        // A lone carriage return is the empty line of a CRLF message; taking
        // it for a continuation would swallow the body into the last header.
        if (line.empty() || line == "\r") break;
        parseLine(line, parsed);
    }
    myHeaders.insert(myHeaders.end(), std::make_move_iterator(parsed.rbegin()),
                     std::make_move_iterator(parsed.rend()));
    return true;
}

bool MailHeaders::writeToStream(ByteSink& sink) const {
    int from = indexOfKey(kFromSpace);
    if (from >= 0) {
        sink.write(kFromSpace);
        sink.write(valueAt(from));
        sink.put('\n');
    } else if (s_forceFromSpaceLine) {
        sink.write(kFromSpace);
        sink.write(fromSpaceUser());
        sink.put(' ');
        sink.write(ctimeNow());
    }
    for (int pos = count() - 1; pos >= 0; --pos) {
        if (pos == from) continue;
        const MailHeaderBinding& h = myHeaders[pos];
        if (myDelegate)
            myDelegate->writeHeaderKey(h.key(), h.value(), sink);
        else
            writeHeaderKey(h.key(), h.value(), sink);
    }
    return sink.ok();
}

bool MailHeaders::writeHeaderKey(std::string_view key, std::string_view value, ByteSink& sink) {
    sink.write(key);
    sink.write(": ");
    size_t column = key.size() + 2;
    std::string_view rest = value;
    for (;;) {
        size_t cut = rest.size() + column <= kFoldColumn ? rest.size() : foldBreak(rest, column);
        sink.write(rest.substr(0, cut));
        sink.put('\n');
        rest = trimmedFront(rest.substr(cut));
        if (rest.empty()) break;
        sink.put('\t');
        column = kContinuationColumn;
    }
    return sink.ok();
}

void MailHeaders::replaceSelInText(const RunSink& out) const {
    std::shared_ptr<const MailHeaders> filter = filteredMailHeaders();
    auto shown = [&](std::string_view key) { return !filter || !filter->hasKey(key); };
    int from = indexOfKey(kFromSpace);
    if (from >= 0 && shown(kFromSpace)) replaceSelWithKey(kFromSpace, valueAt(from), out);
    for (int pos = count() - 1; pos >= 0; --pos) {
        if (pos != from && shown(keyAt(pos))) replaceSelWithKey(keyAt(pos), valueAt(pos), out);
    }
}

void MailHeaders::replaceSelWithKey(std::string_view key, std::string_view value,
                                    const RunSink& out) {
    out(key, true);
    if (key != kFromSpace) out(": ", true);
    out(value, false);
    out("\n", false);
}

std::shared_ptr<const MailHeaders> MailHeaders::filteredMailHeaders() { return displayFilter(); }

void MailHeaders::setFilteredHeaders(std::shared_ptr<const MailHeaders> filter) {
    displayFilter() = std::move(filter);
}

std::vector<std::pair<size_t, size_t>> MailHeaders::filterSelHeaders(std::string_view selection) {
    std::vector<std::pair<size_t, size_t>> doomed;
    std::shared_ptr<const MailHeaders> filter = filteredMailHeaders();
    if (!filter) return doomed;
    size_t end = selection.size();
    while (end > 0) {
        // The line ending at `end` (its newline included) starts after the newline before it.
        size_t start = end - 1;
        while (start > 0 && selection[start - 1] != '\n') --start;
        std::string_view line = selection.substr(start, end - start);
        std::string_view text = line.ends_with('\n') ? line.substr(0, line.size() - 1) : line;
        std::string_view key = text.size() >= 6 && text.starts_with(kFromSpace)
                                   ? kFromSpace
                                   : text.substr(0, text.find(':'));
        if (filter->hasKey(key)) doomed.emplace_back(start, line.size());
        end = start;
    }
    return doomed;
}

void MailHeaders::setForceFromSpaceLine(bool flag) { s_forceFromSpaceLine = flag; }

const std::string& MailHeaders::fromSpaceUser() {
    static const std::string user = [] {
        if (const char* login = ::getlogin(); login && *login) return std::string(login);
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name)
            return std::string(pw->pw_name);
        return std::string("someone");
    }();
    return user;
}

}  // namespace quill

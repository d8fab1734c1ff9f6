#include "formats/SunFileTypes.h"

#include <strings.h>

#include <fstream>
#include <sstream>

#include "platform/resources.h"

namespace quill {

namespace {

constexpr size_t kMaxLine = 511;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// The next word of line from pos: a quoted word runs to the closing quote or
// the end of the line; answers false when only blanks are left.
bool nextWord(std::string_view line, size_t& pos, std::string& word) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    if (pos >= line.size()) return false;
    size_t end;
    if (line[pos] == '"') {
        end = line.find('"', pos + 1);
        word = line.substr(pos + 1, (end == std::string_view::npos ? line.size() : end) - pos - 1);
        pos = end == std::string_view::npos ? line.size() : end + 1;
        return true;
    }
    end = pos;
    while (end < line.size() && !isBlank(line[end])) ++end;
    word = line.substr(pos, end - pos);
    pos = end;
    return true;
}

}  // namespace

void SunFileTypes::parseLine(std::string_view line, std::vector<Entry>& out) {
    line = line.substr(0, line.find('#'));
    size_t pos = 0;
    Entry entry;
    if (!nextWord(line, pos, entry.type)) return;
    std::string extension;
    if (nextWord(line, pos, extension)) {
        entry.executable = !extension.empty() && extension[0] == '*';
        entry.extension = entry.executable ? extension.substr(1) : extension;
    }
    out.push_back(std::move(entry));
}

SunFileTypes SunFileTypes::parse(std::string_view text) {
    SunFileTypes table;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        parseLine(text.substr(start, std::min(end - start, kMaxLine)), table.m_entries);
        start = end + 1;
    }
    return table;
}

const SunFileTypes& SunFileTypes::shared() {
    static const SunFileTypes table = [] {
        std::ifstream in(getResourceDir("SunFileTypes"), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return parse(text.str());
    }();
    return table;
}

std::optional<SunFileTypes::Entry> SunFileTypes::lookup(std::string_view type) const {
    for (const Entry& entry : m_entries)
        if (entry.type.size() == type.size() &&
            strncasecmp(entry.type.data(), type.data(), type.size()) == 0)
            return entry;
    return std::nullopt;
}

}  // namespace quill

#include "settings/PreferenceKeyTable.h"

#include <map>

#include "base/ascii.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

using K = PreferenceKeyTable::Kind;
using Row = PreferenceKeyTable::Row;

// Field names better than the ones read off the key.
const std::map<std::string, std::string>& labelOverrides() {
    static const std::map<std::string, std::string> labels = {
        {"MailDir", "Mailboxes directory"},
        {"SpoolDir", "Spool directory"},
        {"PollTime", "Check for mail every (minutes)"},
        {"SendSizeLimit", "Size limit (KB)"},
        {"IncludePrefix", "Quote prefix"},
        {"Alternates", "Alternate addresses"},
        {"MailSound", "New mail sound"},
        {"AutoFetch", "Check for new mail automatically"},
        {"ShowDeletions", "Show deleted messages"},
        {"ShowSizes", "Show message sizes"},
        {"StatusLine", "Show status line"},
        {"DeleteAlwaysSelects", "Select another message after delete"},
        {"ShowIconCount", "Show new-message count on the icon"},
        {"QXAutoLaunch", "Launched at log-in"},
        {"QXHideOnAutoLaunch", "Hide when launched at log-in"},
        {"Debug", "Keep outgoing messages' temporary files"},
        {"FoundDisplayDelay", "Show each found message for (ms)"},
        {"IncAllMailboxes", "Incorporate new mail into every open mailbox"},
        {"MimeAlternatives", "Send MIME alternatives"},
        {"Send8BitMime", "Send 8-bit MIME"},
        {"SendRtfEnrichedMime", "Send rich text as enriched MIME"},
        {"TocFont", "Message list font"},
        {"TocFontSize", "Message list font size"},
        {"PeopleDir", "Pictures of people"},
    };
    return labels;
}

// Keys holding paths, by what they name.
K kindOfString(const std::string& key) {
    static const std::map<std::string, K> kinds = {
        {"SpoolDir", K::SpoolDirectory}, {"PeopleDir", K::Folder}, {"MailSound", K::File},
        {"Uuencoder", K::File},          {"TarCommand", K::File},  {"CompressCommand", K::File},
        {"UncompressCommand", K::File},
    };
    auto it = kinds.find(key);
    return it == kinds.end() ? K::Text : it->second;
}

std::string yesNo(bool value) { return value ? "YES" : "NO"; }

int indexOf(const std::vector<std::string>& options, const std::string& value) {
    for (size_t i = 0; i < options.size(); ++i) {
        if (options[i] == value) return static_cast<int>(i);
    }
    return 0;
}

const std::vector<std::string> kReadReceiptOptions = {"Always", "Never", "Ask"};
const std::vector<std::string> kOrientations = {"Portrait", "Landscape"};

std::vector<std::string> readReceiptOptions() { return kReadReceiptOptions; }
std::vector<std::string> orientations() { return kOrientations; }
// The message classes the application registered.
std::vector<std::string> messageClasses() { return Defaults::shared().messageClassNames(); }

// The keys whose reading or writing is Defaults' own.
std::vector<Row> specialRows() {
    return {
        {"MailDir", "", K::MailDirectory, nullptr, [](Defaults& d) { return d.mailDir(); },
         [](Defaults& d, const std::string& v) { d.setMailDir(v); }},
        {"Mailer", "", K::Mailer, nullptr, [](Defaults& d) { return d.mailer(); },
         [](Defaults& d, const std::string& v) { d.setMailer(v); }},
        {"WebBrowserPath", "", K::File, nullptr, [](Defaults& d) { return d.webBrowserPath(); },
         [](Defaults& d, const std::string& v) { d.setWebBrowserPath(v); }},
        {"MailFilter", "", K::Text, nullptr, [](Defaults& d) { return d.mailFilter(); },
         [](Defaults& d, const std::string& v) { d.setMailFilter(v); }},
        // The stored word, whether or not log-in hiding makes it count.
        {"QXAutoLaunch", "", K::Boolean, nullptr,
         [](Defaults& d) { return yesNo(d.getBool("QXAutoLaunch", false)); },
         [](Defaults& d, const std::string& v) { d.setAutoLaunch(Defaults::parseBool(v)); }},
        {"ReadReceiptOption", "", K::Choice, readReceiptOptions,
         [](Defaults& d) { return kReadReceiptOptions[size_t(d.readReceiptOption())]; },
         [](Defaults& d, const std::string& v) {
             d.setReadReceiptOption(indexOf(kReadReceiptOptions, v));
         }},
        {"Orientation", "", K::Choice, orientations,
         [](Defaults& d) { return kOrientations[size_t(d.orientation())]; },
         [](Defaults& d, const std::string& v) { d.setOrientation(indexOf(kOrientations, v)); }},
        {"SendFormat", "", K::Choice, messageClasses,
         [](Defaults& d) {
             const auto& names = d.messageClassNames();
             int i = d.sendFormat();
             return i < int(names.size()) ? names[size_t(i)] : std::string();
         },
         [](Defaults& d, const std::string& v) {
             const auto& names = d.messageClassNames();
             for (size_t i = 0; i < names.size(); ++i) {
                 if (names[i] == v) d.setSendFormat(int(i));
             }
         }},
    };
}

#define QUILL_BOOL_ROW(getter, setter, key, def)    \
    {key,                                           \
     "",                                            \
     K::Boolean,                                    \
     nullptr,                                       \
     [](Defaults& d) { return yesNo(d.getter()); }, \
     [](Defaults& d, const std::string& v) { d.setter(Defaults::parseBool(v)); }},
#define QUILL_INT_ROW(getter, setter, key, def)              \
    {key,                                                    \
     "",                                                     \
     K::Number,                                              \
     nullptr,                                                \
     [](Defaults& d) { return std::to_string(d.getter()); }, \
     [](Defaults& d, const std::string& v) { d.setter(Defaults::parseInt(v)); }},
#define QUILL_STRING_ROW(getter, setter, key, def) \
    {key,                                          \
     "",                                           \
     kindOfString(key),                            \
     nullptr,                                      \
     [](Defaults& d) { return d.getter(); },       \
     [](Defaults& d, const std::string& v) { d.setter(v); }},

std::vector<Row> buildRows() {
    std::vector<Row> rows = specialRows();
    std::vector<Row> generated = {
        QUILL_STRING_DEFAULTS(QUILL_STRING_ROW) QUILL_NONEMPTY_STRING_DEFAULTS(QUILL_STRING_ROW)
            QUILL_INT_DEFAULTS(QUILL_INT_ROW) QUILL_BOOL_DEFAULTS(QUILL_BOOL_ROW)};
    rows.insert(rows.end(), generated.begin(), generated.end());
    for (Row& row : rows) row.label = PreferenceKeyTable::labelFor(row.key);
    return rows;
}

#undef QUILL_BOOL_ROW
#undef QUILL_INT_ROW
#undef QUILL_STRING_ROW

// Where a new word starts in a key: a capital after a small letter or digit,
// a capital that begins a word after an abbreviation, or a digit after a letter.
bool wordStartsAt(const std::string& key, size_t i) {
    char prev = key[i - 1], c = key[i];
    // A lower-case letter follows, other than the plural "s" of an abbreviation ("URLs").
    bool plural =
        i + 1 < key.size() && key[i + 1] == 's' && (i + 2 == key.size() || !isLower(key[i + 2]));
    bool next = i + 1 < key.size() && isLower(key[i + 1]) && !plural;
    if (isUpper(c)) return !isUpper(prev) || next;
    return isDigit(c) && !isDigit(prev);
}

}  // namespace

std::string PreferenceKeyTable::labelFor(const std::string& key) {
    auto it = labelOverrides().find(key);
    if (it != labelOverrides().end()) return it->second;
    std::string label;
    size_t start = 0;
    for (size_t i = 1; i <= key.size(); ++i) {
        if (i < key.size() && !wordStartsAt(key, i)) continue;
        std::string word = key.substr(start, i - start);
        // Abbreviations keep their capitals; other words after the first do not.
        bool abbreviation = word.size() > 1 && isUpper(word[1]);
        if (!label.empty() && !abbreviation) word[0] = toLower(word[0]);
        label += (label.empty() ? "" : " ") + word;
        start = i;
    }
    return label;
}

const std::vector<Row>& PreferenceKeyTable::rows() {
    static const std::vector<Row> table = buildRows();
    return table;
}

const Row* PreferenceKeyTable::find(const std::string& key) {
    for (const Row& row : rows()) {
        if (row.key == key) return &row;
    }
    return nullptr;
}

bool PreferenceKeyTable::isPath(Kind kind) {
    return kind == K::MailDirectory || kind == K::SpoolDirectory || kind == K::Mailer ||
           kind == K::Folder || kind == K::File;
}

}  // namespace quill

#include "settings/Preferences.h"

#include "settings/Defaults.h"
#include "settings/PreferenceFields.h"

namespace quill {
namespace {

using K = Preferences::FieldKind;

// How each field reads and writes its setting; a row per field.
struct Binding {
    std::string (*get)(Defaults&);
    void (*set)(Defaults&, const std::string&);
};

#define QUILL_STRING_BINDING(getter, setter)                       \
    {                                                              \
        [](Defaults& d) { return d.getter(); },                    \
            [](Defaults& d, const std::string& v) { d.setter(v); } \
    }
#define QUILL_INT_BINDING(getter, setter)                                              \
    {                                                                                  \
        [](Defaults& d) { return std::to_string(d.getter()); },                        \
            [](Defaults& d, const std::string& v) { d.setter(Defaults::parseInt(v)); } \
    }
#define QUILL_BOOL_BINDING(getter, setter)                                              \
    {                                                                                   \
        [](Defaults& d) { return std::string(d.getter() ? "YES" : "NO"); },             \
            [](Defaults& d, const std::string& v) { d.setter(Defaults::parseBool(v)); } \
    }

const std::map<std::string, Binding>& bindings() {
    static const std::map<std::string, Binding> table = {
        {"MailDir", QUILL_STRING_BINDING(mailDir, setMailDir)},
        {"SpoolDir", QUILL_STRING_BINDING(spoolDir, setSpoolDir)},
        {"Mailer", QUILL_STRING_BINDING(mailer, setMailer)},
        {"ActiveMailbox", QUILL_STRING_BINDING(activeMailbox, setActiveMailbox)},
        {"OutgoingMailbox", QUILL_STRING_BINDING(outgoingMailbox, setOutgoingMailbox)},
        {"PollTime", QUILL_INT_BINDING(pollTime, setPollTime)},
        {"LineLength", QUILL_INT_BINDING(lineLength, setLineLength)},
        {"SendSizeLimit", QUILL_INT_BINDING(sendSizeLimit, setSendSizeLimit)},
        {"IncludePrefix", QUILL_STRING_BINDING(includePrefix, setIncludePrefix)},
        {"Alternates", QUILL_STRING_BINDING(alternates, setAlternates)},
        {"MailSound", QUILL_STRING_BINDING(mailSound, setMailSound)},
        {"AutoFetch", QUILL_BOOL_BINDING(autoFetch, setAutoFetch)},
        {"ShowDeletions", QUILL_BOOL_BINDING(showDeletions, setShowDeletions)},
        {"ShowSizes", QUILL_BOOL_BINDING(showSizes, setShowSizes)},
        {"StatusLine", QUILL_BOOL_BINDING(statusLine, setStatusLine)},
        {"DeleteAlwaysSelects", QUILL_BOOL_BINDING(deleteAlwaysSelects, setDeleteAlwaysSelects)},
        {"ShowIconCount", QUILL_BOOL_BINDING(showIconCount, setShowIconCount)},
    };
    return table;
}

}  // namespace

const std::vector<Preferences::Field>& Preferences::fields() {
    static const std::vector<Field> list = {
        {"MailDir", "Mailboxes directory", K::Directory},
        {"SpoolDir", "Spool directory", K::SpoolDirectory},
        {"Mailer", "Mailer", K::Mailer},
        {"ActiveMailbox", "Active mailbox", K::Text},
        {"OutgoingMailbox", "Outgoing mailbox", K::Text},
        {"PollTime", "Check for mail every (minutes)", K::Number},
        {"LineLength", "Line length", K::Number},
        {"SendSizeLimit", "Size limit (KB)", K::Number},
        {"IncludePrefix", "Quote prefix", K::Text},
        {"Alternates", "Alternate addresses", K::Text},
        {"MailSound", "New mail sound", K::Text},
        {"AutoFetch", "Check for new mail automatically", K::Boolean},
        {"ShowDeletions", "Show deleted messages", K::Boolean},
        {"ShowSizes", "Show message sizes", K::Boolean},
        {"StatusLine", "Show status line", K::Boolean},
        {"DeleteAlwaysSelects", "Select another message after delete", K::Boolean},
        {"ShowIconCount", "Show new-message count on the icon", K::Boolean},
    };
    return list;
}

Preferences::Preferences() = default;

const Preferences::Field* Preferences::find(const std::string& key) {
    for (const Field& f : fields()) {
        if (f.key == key) return &f;
    }
    return nullptr;
}

std::string Preferences::settingOf(const Field& field) {
    return bindings().at(field.key).get(Defaults::shared());
}

void Preferences::store(const Field& field, const std::string& text) {
    bindings().at(field.key).set(Defaults::shared(), text);
}

std::string Preferences::value(const std::string& key) const {
    auto it = m_edits.find(key);
    if (it != m_edits.end()) return it->second;
    const Field* f = find(key);
    return f ? settingOf(*f) : std::string();
}

bool Preferences::check(const Field& field, std::string& text) const {
    switch (field.kind) {
        case K::Directory:
            return checkMailboxesDirectoryField(text);
        case K::SpoolDirectory:
            return checkSpoolDirectoryField(text);
        case K::Mailer:
            return checkMailerField(text);
        case K::Number:
            text = std::to_string(readNumericField(text));
            return true;
        default:
            return true;
    }
}

bool Preferences::edit(const std::string& key, const std::string& text) {
    const Field* f = find(key);
    if (!f) return false;
    std::string checked = text;
    bool ok = check(*f, checked);
    if (checked == settingOf(*f)) {
        m_edits.erase(key);
    } else {
        m_edits[key] = checked;
    }
    return ok;
}

bool Preferences::apply() {
    for (auto& [key, text] : m_edits) {
        std::string probe = text;
        if (!check(*find(key), probe)) return false;
    }
    bool mailDirChanged = m_edits.count("MailDir") > 0;
    for (const auto& [key, text] : m_edits) store(*find(key), text);
    m_edits.clear();
    if (mailDirChanged) noteMailDirRestart();
    return true;
}

bool Preferences::windowShouldClose() {
    if (!hasChanges()) return true;
    switch (askAboutUnappliedChanges()) {
        case UnappliedChangesAnswer::Set:
            return apply();
        case UnappliedChangesAnswer::Revert:
            revert();
            return true;
        case UnappliedChangesAnswer::Cancel:
            break;
    }
    return false;
}

}  // namespace quill

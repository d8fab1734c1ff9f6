#include "settings/Preferences.h"

#include <algorithm>

#include "base/ascii.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "settings/Defaults.h"
#include "settings/PreferenceFields.h"

namespace quill {
namespace {

using K = Preferences::FieldKind;

// A negative number (a delay that turns something off) is a number too.
bool isNegativeNumber(const std::string& text) {
    return text.size() > 1 && text[0] == '-' && std::all_of(text.begin() + 1, text.end(), isDigit);
}

bool isNumber(const std::string& text) {
    return isNegativeNumber(text) ||
           (!text.empty() && std::all_of(text.begin(), text.end(), isDigit));
}

}  // namespace

Preferences::Preferences() = default;

std::string Preferences::value(const std::string& key) const {
    auto it = m_edits.find(key);
    if (it != m_edits.end()) return it->second;
    const Field* f = PreferenceKeyTable::find(key);
    return f ? f->get(Defaults::shared()) : std::string();
}

bool Preferences::check(const Field& field, std::string& text) {
    switch (field.kind) {
        case K::MailDirectory:
            return checkMailboxesDirectoryField(text);
        case K::SpoolDirectory:
            return checkSpoolDirectoryField(text);
        case K::Mailer:
            return checkMailerField(text);
        case K::Number:
            if (!isNegativeNumber(text)) text = std::to_string(readNumericField(text));
            return true;
        default:
            return isValid(field, text);
    }
}

// The same checks without a word to the user.
bool Preferences::isValid(const Field& field, const std::string& text) {
    switch (field.kind) {
        case K::MailDirectory:
        case K::SpoolDirectory:
            return isFullAccessDirectory(text);
        case K::Mailer:
            return isExecutableFile(text);
        case K::Number:
            return isNumber(text);
        case K::Boolean:
            return text == "YES" || text == "NO";
        case K::Choice: {
            std::vector<std::string> options = field.options();
            return std::find(options.begin(), options.end(), text) != options.end();
        }
        default:
            return true;
    }
}

bool Preferences::edit(const std::string& key, const std::string& text) {
    const Field* f = PreferenceKeyTable::find(key);
    if (!f) return false;
    std::string checked = text;
    bool ok = check(*f, checked);
    if (checked == f->get(Defaults::shared())) {
        m_edits.erase(key);
    } else {
        m_edits[key] = checked;
    }
    return ok;
}

bool Preferences::apply() {
    m_failed.clear();
    bool mailDirChanged = false;
    for (auto it = m_edits.begin(); it != m_edits.end();) {
        const Field& field = *PreferenceKeyTable::find(it->first);
        if (!isValid(field, it->second)) {
            m_failed.push_back(it->first);
            ++it;
            continue;
        }
        field.set(Defaults::shared(), it->second);
        mailDirChanged |= field.kind == K::MailDirectory;
        it = m_edits.erase(it);
    }
    if (mailDirChanged) noteMailDirRestart();
    reportFailures();
    return m_failed.empty();
}

void Preferences::reportFailures() const {
    if (m_failed.empty()) return;
    std::string names;
    for (const std::string& key : m_failed) {
        if (!names.empty()) names += ", ";
        names += "\"" + localized(kUITable, PreferenceKeyTable::find(key)->label) + "\"";
    }
    const char* format = m_failed.size() == 1
                             ? "The value of %s is not valid and was not set; the other changes "
                               "were set."
                             : "The values of %s are not valid and were not set; the other "
                               "changes were set.";
    runAlert("Preferences", format, "OK", nullptr, nullptr, names.c_str());
}

void Preferences::revert() {
    m_edits.clear();
    m_failed.clear();
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

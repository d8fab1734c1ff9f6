// Preferences: the decisions of the Preferences window. It holds the fields
// being edited (one per settings key, from PreferenceKeyTable), checks them,
// applies the valid ones to Defaults or reverts them, and says when the window
// may close.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "settings/PreferenceKeyTable.h"

namespace quill {

class Preferences {
  public:
    using FieldKind = PreferenceKeyTable::Kind;
    using Field = PreferenceKeyTable::Row;

    // The fields the window shows, in order.
    static const std::vector<Field>& fields() { return PreferenceKeyTable::rows(); }

    Preferences();
    // The text a field shows: its edited value, else the setting.
    std::string value(const std::string& key) const;
    // Edits a field. A check that fails warns and keeps the edited text;
    // a numeric field is rewritten to the number read. Answers the check's result.
    bool edit(const std::string& key, const std::string& text);
    bool hasChanges() const { return !m_edits.empty(); }
    // Writes every edited field that passes its check; a change of the mail
    // directory is noted as taking effect at the next start. Fields that fail
    // stay edited, and one alert names them. False when any failed.
    bool apply();
    // The keys whose edits the last apply could not set.
    const std::vector<std::string>& failedKeys() const { return m_failed; }
    void revert();
    // Asked when the window is to close: false keeps it open.
    bool windowShouldClose();

  private:
    static bool check(const Field& field, std::string& text);
    static bool isValid(const Field& field, const std::string& text);
    void reportFailures() const;

    std::map<std::string, std::string> m_edits;
    std::vector<std::string> m_failed;
};

}  // namespace quill

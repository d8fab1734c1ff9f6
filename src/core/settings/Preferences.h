// Preferences: the decisions of the Preferences window. It holds the fields
// being edited, checks the three path fields and the numeric fields, applies
// them to Defaults or reverts them, and says when the window may close.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace quill {

class Preferences {
  public:
    enum class FieldKind { Text, Directory, SpoolDirectory, Mailer, Number, Boolean };
    struct Field {
        std::string key;    // the settings key
        std::string label;  // shown beside the field ("UI" table)
        FieldKind kind;
    };

    // The fields the window shows, in order.
    static const std::vector<Field>& fields();

    Preferences();
    // The text a field shows: its edited value, else the setting.
    std::string value(const std::string& key) const;
    // Edits a field. A check that fails warns and keeps the edited text;
    // a numeric field is rewritten to the number read. Answers the check's result.
    bool edit(const std::string& key, const std::string& text);
    bool hasChanges() const { return !m_edits.empty(); }
    // Writes every edited field; a change of the mail directory is noted as
    // taking effect at the next start. False when a field still fails its check.
    bool apply();
    void revert() { m_edits.clear(); }
    // Asked when the window is to close: false keeps it open.
    bool windowShouldClose();

  private:
    static const Field* find(const std::string& key);
    static std::string settingOf(const Field& field);
    static void store(const Field& field, const std::string& text);
    bool check(const Field& field, std::string& text) const;

    std::map<std::string, std::string> m_edits;
};

}  // namespace quill

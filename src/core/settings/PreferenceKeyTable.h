// PreferenceKeyTable: every settings key as the Preferences window edits it,
// generated from the key table in DefaultsKeys.h (a key added there appears
// in the window without further work) plus the keys Defaults reads in a way
// of their own. Each row says how the value is edited and checked, what the
// field is called, and how the text reads and writes the setting.
#pragma once

#include <string>
#include <vector>

namespace quill {

class Defaults;

class PreferenceKeyTable {
  public:
    enum class Kind {
        Text,
        MailDirectory,   // the mailboxes directory: full access required
        SpoolDirectory,  // the spool directory: full access required
        Mailer,          // an executable file required
        Folder,          // another directory, chosen with Browse
        File,            // a file or program, chosen with Browse
        Number,
        Boolean,  // "YES" or "NO"
        Choice,   // one of `options()`
    };
    struct Row {
        std::string key;
        std::string label;  // "UI" table text
        Kind kind;
        // Choice only: the words offered, asked when the window is built.
        std::vector<std::string> (*options)();
        std::string (*get)(Defaults&);
        void (*set)(Defaults&, const std::string&);
    };

    // Every key, the path and mailbox keys first, then in key-table order.
    static const std::vector<Row>& rows();
    static const Row* find(const std::string& key);
    // "PriorityHeader" → "Priority header", "ShowURLs" → "Show URLs".
    static std::string labelFor(const std::string& key);
    static bool isPath(Kind kind);
};

}  // namespace quill

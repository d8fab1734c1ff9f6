// MailboxBrowser: the decisions of the mailbox browser panel. It keeps the
// tree of mailboxes under the mail directory (rebuilt when a folder changed),
// the browser's path (the folders entered, then the selected row) and the
// name field's text, answers the columns and the buttons' states, and carries
// out Open, Transfer, Delete, New Folder and New Mailbox with their questions
// and alerts. Paths are relative to the mail directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "browser/MailboxTree.h"

namespace quill {

class MailboxBrowserHost;
class Panels;
class ProcessLauncher;

class MailboxBrowser {
  public:
    struct Buttons {
        bool transfer = false;
        bool open = false;
        bool remove = false;
        bool newFolder = false;
        bool newMailbox = false;
    };

    MailboxBrowser(std::string mailDirectory, MailboxBrowserHost& host, Panels& panels,
                   ProcessLauncher& launcher);

    // The panel comes forward: the tree is rebuilt when never built or when a
    // folder changed since.
    void show();
    // Rebuilds the tree and keeps the browser's path where it can.
    void update();
    const MailboxTree& tree() const { return m_tree; }

    // Columns: the folders entered, the selected row's column, and the
    // children of a selected folder.
    int columnCount() const;
    const MailboxLevel& rows(int column) const;
    // The selected row of a column, -1 when none.
    int selectedRow(int column) const;
    void select(int column, int row);
    // Moves the browser to "/A/B/name" (titles, a mailbox without ".mbox").
    void setPath(const std::string& path);
    // The folders entered, joined with "/".
    std::string currentPath() const;

    // The selected mailbox's name with ".mbox"; empty when no mailbox is selected.
    std::string stringValue() const;
    std::optional<std::string> selectedMailboxPath() const;

    const std::string& nameText() const { return m_name; }
    // The name field changed: the browser moves to the first row of the
    // current column that begins with it (a typed ".mbox" left out).
    void nameTextChanged(const std::string& text);
    Buttons buttons() const;

    void open();
    void transfer();
    void deleteSelected();
    void newFolder();
    void newMailbox();

  private:
    const MailboxNode* selectedNode() const;
    std::string full(const std::string& path) const;
    // The path a new entry named by the name field gets.
    std::string newEntryPath() const;
    bool makeDirectories(const std::string& path);
    void deleteMailbox(const std::string& path);
    void deleteFolder(const std::string& path, const MailboxNode& folder);
    void askFirst(const std::string& path, const MailboxNode& folder);
    void closeWindowsUnder(const std::string& path, const MailboxNode& node);
    void remove(const std::string& path);

    std::string m_root;
    MailboxBrowserHost& m_host;
    Panels& m_panels;
    ProcessLauncher& m_launcher;
    MailboxTree m_tree;
    bool m_built = false;
    std::int64_t m_seen = 0;
    std::vector<std::string> m_folders;
    int m_selected = -1;  // row in column m_folders.size()
    std::string m_name;
};

}  // namespace quill

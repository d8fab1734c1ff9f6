#include "browser/MailboxBrowser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/Status.h"
#include "base/ascii.h"
#include "browser/MailboxBrowserHost.h"
#include "browser/removeentry.h"
#include "platform/Error.h"
#include "platform/Panels.h"
#include "store/MailBox.h"

namespace quill {
namespace {

std::string joined(const std::string& head, const std::string& tail) {
    return head.empty() ? tail : head + "/" + tail;
}

}  // namespace

MailboxBrowser::MailboxBrowser(std::string mailDirectory, MailboxBrowserHost& host, Panels& panels,
                               ProcessLauncher& launcher)
    : m_root(std::move(mailDirectory)), m_host(host), m_panels(panels), m_launcher(launcher) {}

std::string MailboxBrowser::full(const std::string& path) const {
    return m_root.empty() || m_root == "." ? path : m_root + "/" + path;
}

void MailboxBrowser::show() {
    if (!m_built || m_tree.lastModified() > m_seen) update();
}

void MailboxBrowser::update() {
    std::string path = currentPath();
    const MailboxNode* selected = selectedNode();
    if (selected) path = joined(path, selected->title());
    m_tree = MailboxTree::scan(m_root);
    m_built = true;
    m_seen = m_tree.lastModified();
    setPath("/" + path);
}

int MailboxBrowser::columnCount() const {
    const MailboxNode* selected = selectedNode();
    return static_cast<int>(m_folders.size()) + (selected && !selected->mailbox ? 2 : 1);
}

const MailboxLevel& MailboxBrowser::rows(int column) const {
    static const MailboxLevel none;
    std::size_t entered = m_folders.size();
    if (column < 0 || static_cast<std::size_t>(column) > entered + 1) return none;
    if (static_cast<std::size_t>(column) == entered + 1) {
        const MailboxNode* selected = selectedNode();
        return selected && !selected->mailbox ? selected->children : none;
    }
    std::vector<std::string> folders(m_folders.begin(), m_folders.begin() + column);
    const MailboxLevel* level = m_tree.level(folders);
    return level ? *level : none;
}

int MailboxBrowser::selectedRow(int column) const {
    if (static_cast<std::size_t>(column) == m_folders.size()) return m_selected;
    if (column < 0 || static_cast<std::size_t>(column) > m_folders.size()) return -1;
    const MailboxLevel& level = rows(column);
    for (std::size_t row = 0; row < level.size(); ++row)
        if (!level[row].mailbox && level[row].name == m_folders[column]) return int(row);
    return -1;
}

const MailboxNode* MailboxBrowser::selectedNode() const {
    const MailboxLevel& level = rows(static_cast<int>(m_folders.size()));
    return m_selected >= 0 && m_selected < int(level.size()) ? &level[m_selected] : nullptr;
}

void MailboxBrowser::select(int column, int row) {
    if (column < 0 || column > columnCount() - 1) return;
    if (static_cast<std::size_t>(column) == m_folders.size() + 1) {
        m_folders.push_back(selectedNode()->name);
    } else {
        m_folders.resize(static_cast<std::size_t>(column));
    }
    m_selected = row >= 0 && row < int(rows(column).size()) ? row : -1;
}

void MailboxBrowser::setPath(const std::string& path) {
    m_folders.clear();
    m_selected = -1;
    std::string rest = path.starts_with('/') ? path.substr(1) : path;
    while (!rest.empty()) {
        std::string::size_type slash = rest.find('/');
        std::string title = rest.substr(0, slash);
        rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
        const MailboxLevel& level = rows(static_cast<int>(m_folders.size()));
        int found = -1;
        for (std::size_t row = 0; row < level.size() && found < 0; ++row)
            if (level[row].title() == title) found = int(row);
        if (found < 0) return;
        if (!rest.empty() && !level[found].mailbox) {
            m_folders.push_back(level[found].name);
            continue;
        }
        m_selected = found;
        return;
    }
}

std::string MailboxBrowser::currentPath() const {
    std::string path;
    for (const std::string& folder : m_folders) path = joined(path, folder);
    return path;
}

std::string MailboxBrowser::stringValue() const {
    const MailboxNode* selected = selectedNode();
    return selected && selected->mailbox ? selected->name : "";
}

std::optional<std::string> MailboxBrowser::selectedMailboxPath() const {
    std::string name = stringValue();
    if (name.empty()) return std::nullopt;
    return joined(currentPath(), name);
}

void MailboxBrowser::nameTextChanged(const std::string& text) {
    m_name = text;
    std::string prefix = MailboxTree::withoutExtension(text);
    if (prefix.empty()) return;
    int column = static_cast<int>(m_folders.size());
    const MailboxLevel& level = rows(column);
    for (std::size_t row = 0; row < level.size(); ++row) {
        if (startsWithIgnoringCase(level[row].title(), prefix)) {
            select(column, int(row));
            return;
        }
    }
}

MailboxBrowser::Buttons MailboxBrowser::buttons() const {
    Buttons b;
    std::string n = stringValue();
    b.transfer = !n.empty() && m_host.hasSourceWindow();
    b.remove = selectedNode() != nullptr;
    b.open = !n.empty();
    // A typed name that is the selected mailbox's own names nothing new.
    bool selectedOwn = !n.empty() && (m_name == n || m_name + ".mbox" == n);
    b.newFolder = b.newMailbox = !m_name.empty() && !selectedOwn;
    return b;
}

void MailboxBrowser::open() {
    std::optional<std::string> path = selectedMailboxPath();
    if (!path) {
        runAlert(m_panels, "Open Mailbox", "No mailbox selected.", "OK", nullptr, nullptr);
        return;
    }
    struct stat st {};
    if (::stat(full(*path).c_str(), &st) != 0) {
        Error::badFile(m_panels, Status::fileFailure(kFileStat, full(*path)));
        return;
    }
    if (m_host.openMailbox(full(*path)) && m_host.isActiveMailbox(full(*path)))
        m_host.checkNewMailQuietly();
}

void MailboxBrowser::transfer() {
    if (!m_host.hasSourceWindow()) {
        runAlert(m_panels, "Transfer", "No source mailbox window for transfer.", "OK", nullptr,
                 nullptr);
        return;
    }
    std::optional<std::string> path = selectedMailboxPath();
    if (path && m_host.transferSelectionTo(full(*path))) m_host.deleteTransferred();
}

std::string MailboxBrowser::newEntryPath() const {
    std::string path = currentPath();
    const MailboxNode* selected = selectedNode();
    if (selected && !selected->mailbox) path = joined(path, selected->name);
    return joined(path, m_name);
}

bool MailboxBrowser::makeDirectories(const std::string& path) {
    std::string made;
    std::string::size_type from = 0;
    while (from <= path.size()) {
        std::string::size_type slash = path.find('/', from);
        made = path.substr(0, slash);
        from = slash == std::string::npos ? path.size() + 1 : slash + 1;
        if (made.empty() || ::mkdir(full(made).c_str(), 0777) == 0 || errno == EEXIST) continue;
        Error::badFile(m_panels, Status::fileFailure(kFileCreate, full(made)));
        return false;
    }
    return true;
}

void MailboxBrowser::newFolder() {
    if (m_name.empty() || MailboxTree::isMailboxName(m_name)) {
        runAlert(m_panels, "New Folder", "Invalid folder name", "OK", nullptr, nullptr);
        return;
    }
    std::string path = newEntryPath();
    if (!makeDirectories(path)) return;
    update();
    setPath("/" + path);
    m_name.clear();
}

void MailboxBrowser::newMailbox() {
    if (m_name.empty()) {
        runAlert(m_panels, "New Mailbox", "Invalid mailbox name", "OK", nullptr, nullptr);
        return;
    }
    std::string path = newEntryPath();
    if (!MailboxTree::isMailboxName(path)) path += MailboxTree::kExtension;
    std::string::size_type slash = path.rfind('/');
    std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
    if (!parent.empty() && ::access(full(parent).c_str(), R_OK | X_OK) != 0) {
        if (runAlert(m_panels, "New Mailbox", "The path %s does not exist, create it?", "Create",
                     "Cancel", nullptr, parent.c_str()) != kAlertDefault)
            return;
        if (!makeDirectories(parent)) return;
    }
    Status made = makeMailbox(full(path));
    if (!made.ok()) {
        Error::badFile(m_panels, made);
        return;
    }
    m_host.openMailbox(full(path));
    update();
    setPath("/" + MailboxTree::withoutExtension(path));
}

void MailboxBrowser::deleteSelected() {
    const MailboxNode* selected = selectedNode();
    if (!selected) return;
    std::string path = joined(currentPath(), selected->name);
    if (selected->mailbox) return deleteMailbox(path);
    MailboxNode folder = *selected;
    deleteFolder(path, folder);
}

void MailboxBrowser::deleteMailbox(const std::string& path) {
    if (runAlert(m_panels, "Delete Mailbox", "Permanently delete mailbox %s?", "Delete", "Cancel",
                 nullptr, path.c_str()) != kAlertDefault)
        return;
    m_host.closeMailboxWindow(full(path));
    remove(path);
    update();
}

void MailboxBrowser::closeWindowsUnder(const std::string& path, const MailboxNode& node) {
    if (node.mailbox) return m_host.closeMailboxWindow(full(path));
    for (const MailboxNode& child : node.children)
        closeWindowsUnder(joined(path, child.name), child);
}

void MailboxBrowser::deleteFolder(const std::string& path, const MailboxNode& folder) {
    if (!folder.children.empty()) {
        int answer = runAlert(m_panels, "Delete Folder", "Permanently delete mailboxes in %s?",
                              "Cancel", "Ask First", "Delete All", path.c_str());
        if (answer == kAlertDefault) return;
        if (answer == kAlertAlternate) return askFirst(path, folder);
        closeWindowsUnder(path, folder);
    }
    remove(path);
    update();
}

// Each entry of the folder in turn; those answered "Delete" are removed once
// every question is answered, and "Cancel" removes nothing.
void MailboxBrowser::askFirst(const std::string& path, const MailboxNode& folder) {
    std::vector<std::string> doomed;
    for (const MailboxNode& child : folder.children) {
        std::string entry = joined(path, child.name);
        int answer = runAlert(m_panels, child.mailbox ? "Delete Mailbox" : "Delete Folder",
                              "Permanently delete %s?", "Delete", "Skip", "Cancel", entry.c_str());
        if (answer == kAlertOther) return;
        if (answer != kAlertDefault) continue;
        closeWindowsUnder(entry, child);
        doomed.push_back(entry);
    }
    for (const std::string& entry : doomed) remove(entry);
    update();
}

void MailboxBrowser::remove(const std::string& path) {
    if (!removeEntry(m_launcher, full(path)))
        runAlert(m_panels, "Delete", "Unable to delete %s", "OK", nullptr, nullptr, path.c_str());
}

}  // namespace quill

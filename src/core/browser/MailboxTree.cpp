#include "browser/MailboxTree.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "base/ascii.h"

namespace quill {
namespace {

std::int64_t modified(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace

std::string MailboxNode::title() const {
    return mailbox ? MailboxTree::withoutExtension(name) : name;
}

std::string MailboxTree::withoutExtension(const std::string& name) {
    return isMailboxName(name) ? name.substr(0, name.size() - kExtension.size()) : name;
}

bool MailboxTree::isMailboxName(const std::string& name) {
    return name.size() >= kExtension.size() && name.ends_with(kExtension);
}

bool MailboxTree::precedes(const std::string& a, const std::string& b) {
    bool letterA = !a.empty() && isAlpha(a[0]);
    bool letterB = !b.empty() && isAlpha(b[0]);
    if (letterA != letterB) return letterA;
    return compareIgnoringCase(a, b) < 0;
}

MailboxLevel MailboxTree::scanLevel(const std::string& directory) {
    MailboxLevel level;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
    if (!dir) return level;
    while (const dirent* entry = ::readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        std::string path = directory + "/" + name;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) continue;
        if (isMailboxName(name)) {
            level.push_back({name, true, {}});
        } else if (S_ISDIR(st.st_mode)) {
            level.push_back({name, false, scanLevel(path)});
        }
    }
    std::sort(level.begin(), level.end(),
              [](const MailboxNode& a, const MailboxNode& b) { return precedes(a.name, b.name); });
    return level;
}

MailboxTree MailboxTree::scan(const std::string& root) {
    MailboxTree tree;
    tree.m_root = root;
    tree.m_top = scanLevel(root);
    return tree;
}

const MailboxLevel* MailboxTree::level(const std::vector<std::string>& folders) const {
    const MailboxLevel* at = &m_top;
    for (const std::string& title : folders) {
        auto it = std::find_if(at->begin(), at->end(), [&](const MailboxNode& node) {
            return !node.mailbox && node.name == title;
        });
        if (it == at->end()) return nullptr;
        at = &it->children;
    }
    return at;
}

int MailboxTree::depthOf(const MailboxLevel& level) {
    int depth = 1;
    for (const MailboxNode& node : level)
        if (!node.mailbox) depth += depthOf(node.children);
    return depth;
}

std::int64_t MailboxTree::latestIn(const std::string& directory, const MailboxLevel& level) {
    std::int64_t latest = modified(directory);
    for (const MailboxNode& node : level)
        if (!node.mailbox)
            latest = std::max(latest, latestIn(directory + "/" + node.name, node.children));
    return latest;
}

std::int64_t MailboxTree::lastModified() const { return latestIn(m_root, m_top); }

}  // namespace quill

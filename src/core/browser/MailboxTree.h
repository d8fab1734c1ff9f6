// MailboxTree: the mailboxes and folders under the mail directory. An entry
// whose name ends in ".mbox" is a mailbox, a leaf; any other directory is a
// folder and is scanned in turn. Hidden entries, plain files and entries that
// cannot be examined are left out. Each level is ordered with names that
// begin with a letter first, then case-blind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct MailboxNode {
    std::string name;  // the file-system name, ".mbox" included
    bool mailbox = false;
    std::vector<MailboxNode> children;

    // What the browser shows: a mailbox's name without ".mbox".
    std::string title() const;
};

using MailboxLevel = std::vector<MailboxNode>;

class MailboxTree {
  public:
    static constexpr std::string_view kExtension = ".mbox";

    MailboxTree() = default;
    static MailboxTree scan(const std::string& root);

    const MailboxLevel& top() const { return m_top; }
    // The level reached from the top through the folders titled `folders`;
    // nullptr when they lead nowhere.
    const MailboxLevel* level(const std::vector<std::string>& folders) const;
    // The browser's column count: 1 for a level, plus what each folder's
    // children need.
    int depth() const { return depthOf(m_top); }
    // The latest modification (in nanoseconds) of the mail directory and
    // every folder of the tree.
    std::int64_t lastModified() const;

    static bool isMailboxName(const std::string& name);
    // A mailbox name without its ".mbox"; other names as they are.
    static std::string withoutExtension(const std::string& name);
    // The order within a level.
    static bool precedes(const std::string& a, const std::string& b);

  private:
    static MailboxLevel scanLevel(const std::string& directory);
    static int depthOf(const MailboxLevel& level);
    static std::int64_t latestIn(const std::string& directory, const MailboxLevel& level);

    std::string m_root;
    MailboxLevel m_top;
};

}  // namespace quill

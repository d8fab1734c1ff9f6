// AttachmentFilter: turns spool text into the form a mailbox stores. A message
// with a native attachment ("Zell-Attachment:") keeps its header, gains a
// "Zell-Reference:" line naming the attachment directory, and has its
// uuencoded, compressed tar body unpacked into that directory beside "mbox".
// Messages sent by a mailer of this platform lose the blank that ends a body
// line together with the line break; everything else passes unchanged.
// Both the fetch program and the direct path use it, so their results agree.
#pragma once

#include <string>
#include <string_view>

namespace quill {

class AttachmentFilter {
  public:
    explicit AttachmentFilter(std::string mailboxDir) : m_dir(std::move(mailboxDir)) {}

    // Appends the stored form of every message of `copy` to `out`. False when
    // a message has no end of header or an attachment cannot be unpacked.
    bool filterAttachments(std::string_view copy, std::string& out);
    // True when filterAttachments would append `copy` exactly as it is: no
    // native attachment, no mail from a mailer of this platform, and every
    // message has an end of header. Then the copy can be stored directly.
    static bool passesUnchanged(std::string_view copy);

    // The parts of a "Zell-Attachment:" value.
    struct AttachmentInfo {
        std::string name;
        long attachFileSize = 0;
        int part = 1, parts = 1;
        long dataSize = 0, msgSize = 0;
    };
    // Reads the header line; answers the "Zell-Reference: ..." line (with its
    // newline) and sets `directory` to the directory it names.
    std::string getAttachmentInfo(std::string_view line, std::string& directory,
                                  AttachmentInfo& info) const;
    // `name` itself when no directory of that name exists, else name1, name2, ...
    std::string getUniqueDir(const std::string& name) const;

  private:
    bool writeAttachAt(std::string_view message, std::size_t attach, std::size_t endHeader,
                       std::string& out);
    bool writeDataFile(const std::string& directory, std::string_view data);

    std::string m_dir;
};

// A body with every " \n" removed (lines ending in a blank joined to the next).
std::string joinBlankEndedLines(std::string_view body);

}  // namespace quill

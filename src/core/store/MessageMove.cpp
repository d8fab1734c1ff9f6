#include "store/MessageMove.h"

#include <sys/stat.h>

#include <filesystem>

#include "base/Diagnostics.h"
#include "store/AppendJournal.h"
#include "store/MailBox.h"
#include "store/attachmentdirs.h"

namespace quill {

namespace fs = std::filesystem;

void MessageMove::copyAttachment(MailBox& source, int index, MailBox& target,
                                 std::string& message) {
    std::string name = source.toc().loadAttach(index);
    if (name.empty()) {
        logRaw("found empty toc attachment\n");
        return;
    }
    std::string from = source.dirname() + "/" + name;
    std::string to = target.dirname() + "/" + name;
    getUniqueDir(to);
    std::string unique(basename(to));
    if (unique != name) {
        rewriteReference(message, 0, message.size(), unique,
                         source.tocInfoAt(index).encrypted == 'e');
    }
    std::error_code error;
    if (!fs::is_directory(from, error) ||
        !copyAttachmentDirectory(source.context().processes(), from, to)) {
        source.context().fail(Status::failure(Status::kNotCopied, to));
    }
}

bool MessageMove::run(MailBox& source, const std::vector<int>& list, MailBox& target) {
    if (&source == &target || list.empty()) return false;
    std::string bytes;
    std::vector<AppendJournal::Moved> moved;
    for (int index : list) {
        const TocEntry& e = source.tocInfoAt(index);
        std::string message(static_cast<std::size_t>(e.length), '\0');
        if (!readAllAt(::fileno(source.mailFile()), message.data(), message.size(), e.offset)) {
            source.fileError(kFileRead);
            return false;
        }
        if (e.type == 'r') copyAttachment(source, index, target, message);
        bytes += message;
        moved.push_back({e.offset, e.length});
    }
    struct stat st;
    if (::stat(target.mailFileName().c_str(), &st) != 0) {
        target.fileError(kFileStat);
        return false;
    }
    Status status = AppendJournal::begin(target.dirname(), st.st_size,
                                         st.st_size + static_cast<off_t>(bytes.size()),
                                         source.dirname(), moved);
    if (!status.ok()) {
        source.context().fail(status);
        return false;
    }
    // A failure after every byte went in still moved the messages (the
    // target's index is rebuilt when it opens next); before that, what was
    // appended is taken back as after a crash.
    off_t expected = st.st_size + static_cast<off_t>(bytes.size());
    if (!target.getMail(bytes) &&
        (::stat(target.mailFileName().c_str(), &st) != 0 || st.st_size != expected)) {
        AppendJournal::recover(target.dirname());
        AppendJournal::end(target.dirname(), source.dirname());
        return false;
    }
    source.deleteMessages(list);
    status = AppendJournal::end(target.dirname(), source.dirname());
    if (!status.ok()) source.context().fail(status);
    return true;
}

}  // namespace quill

// MessageMove: moves messages, with their attachment directories, from
// one open mailbox to the end of another. The directories are copied first
// under names unique in the target (the messages' "Zell-Reference:" lines
// follow a rename); then the append and the deletion marks in the source run
// under the AppendJournal, so a crash leaves each message in one mailbox.
#pragma once

#include <string>
#include <vector>

namespace quill {

class MailBox;

class MessageMove {
  public:
    // Moves the listed messages of `source` into `target`. Failures go to the
    // source's context; false when the messages stayed where they were. A
    // directory that could not be copied is reported and the move goes on.
    static bool run(MailBox& source, const std::vector<int>& list, MailBox& target);

  private:
    // The directory of message `index` copied into the target, renaming it in
    // `message` when its name is taken there.
    static void copyAttachment(MailBox& source, int index, MailBox& target, std::string& message);
};

}  // namespace quill

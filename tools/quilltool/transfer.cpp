// quilltool transfer: moves messages (numbers from 0) with their attachment
// directories to the end of another mailbox, marking them deleted here.
#include <cstdio>

#include "commands.h"
#include "store/MailBox.h"

namespace quill::tool {

int runTransfer(const Args& args) {
    if (args.size() < 3) return kUsageError;
    std::unique_ptr<MailBox> from = openWritableMailbox(args[0]);
    std::unique_ptr<MailBox> to = from ? openWritableMailbox(args[1]) : nullptr;
    if (!to) return 1;
    std::optional<std::vector<int>> indexes = messageIndexes(args, 2, from->toc().length());
    if (!indexes) return kUsageError;
    if (!from->transfer(*indexes, *to)) return 1;
    std::printf("%zu messages moved\n", indexes->size());
    return 0;
}

}  // namespace quill::tool

// quilltool delete: marks messages deleted (numbers from 0, as "toc" lists
// them); "compact" then removes them.
#include <cstdio>

#include "commands.h"
#include "store/MailBox.h"

namespace quill::tool {

int runDelete(const Args& args) {
    if (args.size() < 2) return kUsageError;
    std::unique_ptr<MailBox> box = openWritableMailbox(args[0]);
    if (!box) return 1;
    std::optional<std::vector<int>> indexes = messageIndexes(args, 1, box->toc().length());
    if (!indexes) return kUsageError;
    box->deleteMessages(*indexes);
    std::printf("%zu messages marked deleted\n", indexes->size());
    return 0;
}

}  // namespace quill::tool

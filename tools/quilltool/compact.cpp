// quilltool compact: squeezes the deleted messages out of a mailbox, as the
// window's Compact does, and says how many went.
#include <cstdio>

#include "commands.h"
#include "store/MailBox.h"

namespace quill::tool {

int runCompact(const Args& args) {
    if (args.size() != 1) return kUsageError;
    std::unique_ptr<MailBox> box = openWritableMailbox(args[0]);
    if (!box) return 1;
    std::uint32_t before = box->toc().length();
    int selected = -1;
    if (!box->compactMail(selected)) return 1;
    std::printf("%u messages removed, %u kept\n", before - box->toc().length(),
                box->toc().length());
    return 0;
}

}  // namespace quill::tool

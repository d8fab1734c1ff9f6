// quilltool paste: appends the text on standard input to a mailbox as the
// window's Paste Message does.
#include <unistd.h>

#include <cstdio>

#include "base/FileHandles.h"
#include "commands.h"
#include "store/MailBox.h"

namespace quill::tool {

int runPaste(const Args& args) {
    if (args.size() != 1) return kUsageError;
    std::string text;
    if (!readAll(STDIN_FILENO, text)) {
        std::perror("stdin");
        return 1;
    }
    std::unique_ptr<MailBox> box = openWritableMailbox(args[0]);
    if (!box || !box->pasteMail(text)) return 1;
    std::printf("%u messages\n", box->toc().length());
    return 0;
}

}  // namespace quill::tool

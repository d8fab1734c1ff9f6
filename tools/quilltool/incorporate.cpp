// quilltool incorporate: take new mail into a mailbox from the command line.
// By default the spool is copied in directly, unpacking native attachments as
// Quill does; --fetched instead takes in what the fetch program left in the
// mailbox directory. --spool names the spool file (default: the "SpoolDir"
// setting joined with the login name).
#include <cstdio>
#include <memory>

#include "commands.h"
#include "newmail/Incorporation.h"
#include "platform/ConsolePanels.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "process/ProcessLauncher.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"

namespace quill::tool {

int runIncorporate(const Args& args) {
    std::string mailbox, spool;
    bool fetched = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--spool" && i + 1 < args.size()) {
            spool = args[++i];
        } else if (args[i] == "--fetched") {
            fetched = true;
        } else if (args[i].starts_with("--") || !mailbox.empty()) {
            return kUsageError;
        } else {
            mailbox = args[i];
        }
    }
    if (mailbox.empty()) return kUsageError;
    installPanels(std::make_shared<ConsolePanels>(true));
    if (spool.empty()) spool = Defaults::shared().spoolFile();
    std::unique_ptr<MailBox> box = MailBox::newMailBox(
        mailboxPath(mailbox), interactiveMailContext(Defaults::shared(), panels(), runLoop()));
    if (!box) return 1;
    std::uint32_t before = box->toc().length();
    bool atStart = false;
    const MsgList* list = fetched
                              ? Incorporation::incorporateMailAtStart(*box, &atStart)
                              : Incorporation::getNewMail(*box, &atStart, spool, processLauncher());
    if (!list) return 1;
    std::printf("%u new messages\n", box->toc().length() - before);
    return 0;
}

}  // namespace quill::tool

// Fetched mail taken into a mailbox: "Incoming_Table_of_Contents" and
// "Incoming_Mail" from the input (see FuzzEnvironment::splitPair), left beside
// an empty mailbox and incorporated as at start-up.
#include <sys/stat.h>

#include "newmail/IncomingFiles.h"
#include "newmail/Incorporation.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = fuzz::FuzzEnvironment::shared().freshScratch() + "/Fuzz";
    auto [toc, mail] = fuzz::FuzzEnvironment::splitPair(data, size);
    std::unique_ptr<MailBox> box =
        MailBox::newMailBox(dir, interactiveMailContext(Defaults::shared(), panels(), runLoop()));
    if (!box) return 0;
    fuzz::FuzzEnvironment::writeFile(dir + "/" + kIncomingToc, toc);
    fuzz::FuzzEnvironment::writeFile(dir + "/" + kIncomingMail, mail);
    bool atStart = false;
    if (!Incorporation::incorporateMailAtStart(*box, &atStart)) return 0;
    for (std::uint32_t i = 0; i < box->toc().length(); ++i)
        box->loadMessageTextAt(static_cast<int>(i));
    return 0;
}

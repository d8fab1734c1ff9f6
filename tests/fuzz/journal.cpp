// An interrupted transfer found when a mailbox opens: "Pending_Append" of the
// target from the input's first file ("$SOURCE" standing for the source
// directory), the source's "mbox" from the second (see
// FuzzEnvironment::splitPair). Opening both puts the transfer right.
#include <string>

#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

namespace {

const std::string kTargetMail = "From a Mon Jan  1 00:00:00 2001\nSubject: t\n\nbody\n\n";

std::unique_ptr<MailBox> openBox(const std::string& dir) {
    return MailBox::newMailBox(dir,
                               interactiveMailContext(Defaults::shared(), panels(), runLoop()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string scratch = fuzz::FuzzEnvironment::shared().freshScratch();
    const std::string source = scratch + "/S.mbox", target = scratch + "/T.mbox";
    auto [journal, mail] = fuzz::FuzzEnvironment::splitPair(data, size);
    makeMailbox(source);
    makeMailbox(target);
    fuzz::FuzzEnvironment::writeFile(source + "/mbox", mail);
    fuzz::FuzzEnvironment::writeFile(target + "/mbox", kTargetMail);
    openBox(source);
    std::string text(journal);
    for (std::size_t at; (at = text.find("$SOURCE")) != std::string::npos;)
        text.replace(at, 7, source);
    fuzz::FuzzEnvironment::writeFile(source + "/Pending_Transfer", target + "\n");
    fuzz::FuzzEnvironment::writeFile(target + "/Pending_Append", text);
    for (const std::string& dir : {target, source}) {
        std::unique_ptr<MailBox> box = openBox(dir);
        if (!box) continue;
        for (std::uint32_t i = 0; i < box->toc().length(); ++i)
            box->loadMessageTextAt(static_cast<int>(i));
    }
    return 0;
}

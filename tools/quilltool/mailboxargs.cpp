// The MAILBOX and INDEX arguments of the commands that change a mailbox.
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "platform/ConsolePanels.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"

namespace quill::tool {

std::unique_ptr<MailBox> openWritableMailbox(const std::string& argument) {
    installPanels(std::make_shared<ConsolePanels>(true));
    std::unique_ptr<MailBox> box = MailBox::newMailBox(
        mailboxPath(argument), interactiveMailContext(Defaults::shared(), panels(), runLoop()));
    if (box && box->readOnly()) box.reset();
    return box;
}

std::optional<std::vector<int>> messageIndexes(const Args& args, std::size_t first,
                                               std::uint32_t count) {
    std::vector<int> indexes;
    for (std::size_t i = first; i < args.size(); ++i) {
        char* end = nullptr;
        long n = std::strtol(args[i].c_str(), &end, 10);
        if (args[i].empty() || *end != '\0' || n < 0 || n >= static_cast<long>(count)) {
            std::fprintf(stderr, "no message %s\n", args[i].c_str());
            return std::nullopt;
        }
        indexes.push_back(static_cast<int>(n));
    }
    return indexes;
}

}  // namespace quill::tool

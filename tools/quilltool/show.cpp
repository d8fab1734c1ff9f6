// quilltool show: one message of a mailbox as the mailbox window shows it, as
// plain text: the header block with the filtered headers hidden (all of them
// shown with --all-headers) and the body, attachments as "[attachment: NAME]".
// The text is the Unicode display's, in UTF-8; --latin1 prints the ISO 8859-1
// form the window shows with "UnicodeDisplay" off. Showing writes no attachment file.
#include <cstdio>
#include <cstdlib>

#include "base/SharedBytes.h"
#include "commands.h"
#include "message/MimeMessage.h"
#include "platform/ConsolePanels.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "reader/MessageRenderer.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"

namespace quill::tool {
namespace {

struct ShowOptions {
    std::string mailbox;
    long index = -1;
    bool allHeaders = false;
    bool latin1 = false;
};

bool parse(const Args& args, ShowOptions& o) {
    std::vector<std::string> positional;
    for (const std::string& a : args) {
        if (a == "--all-headers")
            o.allHeaders = true;
        else if (a == "--latin1")
            o.latin1 = true;
        else
            positional.push_back(a);
    }
    if (positional.size() != 2) return false;
    char* end = nullptr;
    o.mailbox = mailboxPath(positional[0]);
    o.index = std::strtol(positional[1].c_str(), &end, 10);
    return *end == '\0' && o.index >= 0;
}

}  // namespace

int runShow(const Args& args) {
    ShowOptions o;
    if (!parse(args, o)) {
        std::fputs("usage: quilltool show MAILBOX INDEX [--all-headers] [--latin1]\n", stderr);
        return kUsageError;
    }
    installPanels(std::make_shared<ConsolePanels>(false));
    registerMessageClasses();
    std::unique_ptr<MailBox> box = MailBox::newMailBox(
        o.mailbox, interactiveMailContext(Defaults::shared(), panels(), runLoop()));
    if (!box) return 1;
    if (o.index >= static_cast<long>(box->toc().length())) {
        std::fprintf(stderr, "%s: no message %ld\n", o.mailbox.c_str(), o.index);
        return 1;
    }
    std::optional<std::string_view> text = box->loadMessageTextAt(static_cast<int>(o.index));
    if (!text) return 1;
    TextView view;
    view.setUtf8(!o.latin1);
    std::string shown;
    {
        // The message reads the mailbox's buffer in place and goes first.
        std::unique_ptr<MailMessage> message =
            renderMessage(SharedBytes::borrowed(*text), o.mailbox,
                          o.allHeaders ? nullptr : filteredHeadersFrom(Defaults::shared()), view);
        shown = message ? MimeMessage::textWithAttachmentNames(view) : std::string(*text);
    }
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    if (!shown.empty() && shown.back() != '\n') std::fputc('\n', stdout);
    return 0;
}

}  // namespace quill::tool

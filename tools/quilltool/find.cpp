// quilltool find: Find All in a mailbox as its window would do it; prints how
// many messages matched, then their indexes in list order, one a line.
#include <cstdio>
#include <memory>

#include "commands.h"
#include "platform/ConsolePanels.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "reader/MailFinder.h"
#include "reader/MailReader.h"
#include "reader/NewMailNotice.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"

namespace quill::tool {
namespace {

struct FindArguments {
    std::string mailbox;
    FindOptions options;
};

bool parse(const Args& args, FindArguments& o) {
    std::vector<std::string> positional;
    o.options.searchMessages = true;
    for (const std::string& a : args) {
        if (a == "--regex") {
            o.options.regExpr = true;
        } else if (a == "--case") {
            o.options.ignoreCase = false;
        } else if (a == "--summaries") {
            o.options.searchMessages = false;
        } else if (a.starts_with("--")) {
            return false;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return false;
    o.mailbox = mailboxPath(positional[0]);
    o.options.text = positional[1];
    return true;
}

// A mailbox read from the command line takes no new mail.
class NoNewMail : public NewMailNotice {
  public:
    bool hasNewMail() const override { return false; }
    void clearNewMail() override {}
    void notifyToc() override {}
    void updateNewMessageCount() override {}
    void checkNewMail(bool) override {}
};

}  // namespace

int runFind(const Args& args) {
    FindArguments o;
    if (!parse(args, o)) {
        std::fputs("usage: quilltool find MAILBOX TEXT [--regex] [--case] [--summaries]\n", stderr);
        return kUsageError;
    }
    installPanels(std::make_shared<ConsolePanels>(false));
    NoNewMail notice;
    std::unique_ptr<MailReader> reader = MailReader::open(
        o.mailbox, interactiveMailContext(Defaults::shared(), panels(), runLoop()), notice);
    if (!reader) return 1;
    MailFinder finder(*reader);
    if (!finder.begin(o.options, true, true, false)) {
        std::fputs("find: nothing to search for\n", stderr);
        return 1;
    }
    finder.finish();
    std::printf("%d\n", finder.matchCount());
    if (finder.matchCount() > 0)
        for (int msgId : reader->matrix().getSelection()) std::printf("%d\n", msgId);
    return 0;
}

}  // namespace quill::tool

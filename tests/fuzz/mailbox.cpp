// A mailbox's index opened from bytes as Quill opens one: "table_of_contents"
// and "mbox" from the input (see FuzzEnvironment::splitPair), the index
// checked and loaded, or rebuilt from "mbox" when damaged, all in memory; then
// every record listed and every message's header read.
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/Message.h"
#include "store/Toc.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzEnvironment::shared();
    static const MailContext context =
        interactiveMailContext(Defaults::shared(), panels(), runLoop());
    auto [toc, mbox] = fuzz::FuzzEnvironment::splitPair(data, size);
    Toc index(context);
    if (!index.openInMemory(toc, mbox)) return 0;
    index.getMailboxStatus();
    index.loadMsgListAt(0, static_cast<int>(index.length()));
    std::vector<std::pair<std::string, std::string>> summaries;
    index.loadSubjects(0, static_cast<int>(index.length()),
                       [&](int, std::string& subject, std::string& from) {
                           summaries.emplace_back(subject, from);
                       });
    Message header;
    for (std::uint32_t i = 0; i < index.length(); ++i) {
        std::string subject, from;
        index.loadSubject(static_cast<int>(i), subject, from);
        // The pass over the whole index reads what the reads of one record do.
        if (summaries.at(i) != std::make_pair(subject, from)) std::abort();
        index.loadAttach(static_cast<int>(i));
        const TocEntry& e = index.entry(static_cast<int>(i));
        // The message without the newline that separates it from the next.
        header.readMessage(mbox.substr(static_cast<std::size_t>(e.offset),
                                       static_cast<std::size_t>(std::max(e.length - 1, 0))));
    }
    return 0;
}

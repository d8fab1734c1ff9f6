// A mailbox opened as Quill opens one: "table_of_contents" and "mbox" from
// the input (see FuzzEnvironment::splitPair), the index dated like "mbox" so it
// is trusted and read, then every message loaded and listed.
#include "store/MailBox.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"
#include "store/TocFormat.h"
#include "support/FuzzEnvironment.h"

using namespace quill;

namespace {

// Gives "mbox" the time the index header claims, as when the two last agreed.
void dateLikeIndex(const std::string& mbox, std::string_view toc) {
    if (toc.size() < tocformat::kHeaderSize) return;
    timespec times[2] = {};
    times[0].tv_sec = times[1].tv_sec = getI32(toc.data() + tocformat::kTimeOffset);
    ::utimensat(AT_FDCWD, mbox.c_str(), times, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = fuzz::FuzzEnvironment::shared().freshScratch() + "/Fuzz";
    auto [toc, mbox] = fuzz::FuzzEnvironment::splitPair(data, size);
    ::mkdir(dir.c_str(), 0700);
    fuzz::FuzzEnvironment::writeFile(dir + "/table_of_contents", toc);
    fuzz::FuzzEnvironment::writeFile(dir + "/mbox", mbox);
    dateLikeIndex(dir + "/mbox", toc);
    std::unique_ptr<MailBox> box =
        MailBox::newMailBox(dir, interactiveMailContext(Defaults::shared(), panels(), runLoop()));
    if (!box) return 0;
    Toc& index = box->toc();
    index.getMailboxStatus();
    index.loadMsgListAt(0, static_cast<int>(index.length()));
    std::vector<std::pair<std::string, std::string>> summaries;
    index.loadSubjects(0, static_cast<int>(index.length()),
                       [&](int, std::string& subject, std::string& from) {
                           summaries.emplace_back(subject, from);
                       });
    for (std::uint32_t i = 0; i < index.length(); ++i) {
        std::string subject, from;
        index.loadSubject(static_cast<int>(i), subject, from);
        // The pass over the whole index reads what the reads of one record do.
        if (summaries.at(i) != std::make_pair(subject, from)) std::abort();
        box->loadMessageTextAt(static_cast<int>(i));
    }
    return 0;
}

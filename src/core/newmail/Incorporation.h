// Incorporation: new mail entering a mailbox. Either the fetch program has
// left "Incoming_Mail" and "Incoming_Table_of_Contents" in the mailbox
// directory (incorporateMailAtStart), or the spool is copied in directly,
// unpacking native attachments on the way (getNewMail). Both append to "mbox"
// and its index and answer the mailbox's new message list.
#pragma once

#include <cstdint>
#include <string>

#include "store/Toc.h"

namespace quill {

class ProcessLauncher;

class IncomingFiles;
class MailBox;

class Incorporation {
  public:
    // Appends what the fetch program left; nullptr when there is nothing,
    // when the fetch program still writes it (after the "already in use"
    // alert), or on failure. `atStart` receives the index's at-start flag.
    static const MsgList* incorporateMailAtStart(MailBox& mailbox, bool* atStart);
    // The direct path from `spool`; "No new mail." when it is empty.
    static const MsgList* getNewMail(MailBox& mailbox, bool* atStart, const std::string& spool,
                                     ProcessLauncher& launcher);

    // Appends the prepared records to the index with their offsets counted
    // from `start`; the number of records, or -1.
    static int incorporateToc(MailBox& mailbox, std::int32_t start);
    // incorporateToc, then loads the new records as repairToc does.
    static Toc* incorporateMail(MailBox& mailbox, std::int32_t start);

    // Whether mailbox directory `dir` has fetched mail that no fetch program
    // is writing now.
    static bool incomingIdle(const std::string& dir);

  private:
    static bool appendToMbox(MailBox& mailbox, int fromFd, std::uint64_t from, std::uint64_t count);
    static bool rebuildIndex(MailBox& mailbox);
    static bool filterSpool(MailBox& mailbox, const std::string& spoolText, std::string& stored);
    static bool catchUpWithMbox(MailBox& mailbox);
    static const MsgList* finishInterrupted(MailBox& mailbox, IncomingFiles& incoming,
                                            std::uint64_t begun);
};

}  // namespace quill

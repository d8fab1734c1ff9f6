// Helpers for store tests: mailbox directories under the fixture's mail
// directory, raw index bytes, and a small hand-made mailbox.
#pragma once

#include <string>

#include "store/MailBox.h"
#include "support/QuillTest.h"

namespace quill::test {

class StoreTest : public QuillTest {
  protected:
    std::string boxPath(const std::string& name = "Box.mbox") const {
        return mailDir() + "/" + name;
    }
    // Makes a mailbox directory holding `mbox` (and nothing else).
    std::string makeBox(const std::string& mbox, const std::string& name = "Box.mbox");
    std::string tocPath(const std::string& name = "Box.mbox") const {
        return boxPath(name) + "/table_of_contents";
    }
    std::string tocBytes(const std::string& name = "Box.mbox") const {
        return slurp(tocPath(name));
    }
    // Opens without a window; alerts must have been queued.
    std::unique_ptr<MailBox> open(const std::string& name = "Box.mbox") {
        return MailBox::newMailBox(boxPath(name), mailContext());
    }
    // Sets the modification time of the box's "mbox" (seconds since 1970).
    void touchMbox(long seconds, const std::string& name = "Box.mbox");
    // Lines captured by the diagnostics sink that contain `text`.
    int logCount(const std::string& text) const;
};

// Four messages: a plain one, a MIME one whose body holds a "From " line
// protected by a correct Content-Length, one sent by the user, one with a
// native attachment reference. Preceded by text that is not a message.
std::string smallMbox();

}  // namespace quill::test

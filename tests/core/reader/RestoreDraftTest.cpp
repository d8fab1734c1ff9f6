// Which message Restore Draft fills a compose window from.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/MailDriver.h"
#include "message/MailMessage.h"
#include "reader/MailReader.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

class RestoreDraftTest : public test::QuillTest {
  protected:
    std::unique_ptr<MailReader> openShowing(const std::string& name, const std::string& mbox) {
        ::mkdir((mailDir() + "/" + name).c_str(), 0700);
        writeFile("home/Mail/" + name + "/mbox", mbox);
        auto reader = MailReader::open(mailDir() + "/" + name, MailDriver::shared().mailContext(),
                                       MailDriver::shared());
        reader->matrix().selectRow(0);
        reader->selectionDidChange();
        return reader;
    }
    static std::string subjectOf(const std::unique_ptr<MailMessage>& m) {
        const std::string* subject = m ? m->headerValueForKey("Subject") : nullptr;
        return subject ? *subject : "(none)";
    }
};

TEST_F(RestoreDraftTest, MenuTakesTheLastDraftUnlessTheDraftsWindowShowsOne) {
    auto other =
        openShowing("Other.mbox", "From a@x Mon Mar  4 10:00:00 2024\nSubject: shown\n\nb\n\n");
    {
        auto drafts = openShowing("Drafts.mbox",
                                  "From me Mon Mar  4 10:00:00 2024\nSubject: first\n\nb\n\n"
                                  "From me Mon Mar  4 11:00:00 2024\nSubject: second\n\nb\n\n");
        EXPECT_EQ(subjectOf(drafts->draftToRestore(true)), "first");
    }
    EXPECT_EQ(subjectOf(other->draftToRestore(true)), "second");
    EXPECT_EQ(subjectOf(other->draftToRestore(false)), "shown");
}

}  // namespace
}  // namespace quill

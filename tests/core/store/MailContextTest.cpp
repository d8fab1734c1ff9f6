// What a mailbox is handed instead of process-wide services: failures come
// back as Status values to whoever opened it, with no panel of their own, and
// two mailboxes with different settings work side by side.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "StoreFixture.h"
#include "platform/RunLoop.h"
#include "settings/Defaults.h"

namespace quill::test {
namespace {

class MailContextTest : public StoreTest {
  protected:
    // A headless caller: its failures are collected, never shown.
    MailContext headless(Defaults& defaults) {
        return {defaults, *panels, runLoop(), [this](const Status& s) { reported.push_back(s); },
                nullptr};
    }
    std::vector<Status> reported;
};

TEST_F(MailContextTest, UnopenableIndexComesBackAsStatusesWithoutAPanel) {
    makeBox(smallMbox());
    // A directory in the index's place: read short, and not writable as a file.
    ASSERT_EQ(::mkdir(tocPath().c_str(), 0755), 0);
    EXPECT_FALSE(MailBox::newMailBox(boxPath(), headless(Defaults::shared())));
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0].kind(), Status::kFileFailed);
    EXPECT_EQ(reported[0].operation(), kFileOpen);
    EXPECT_EQ(reported[0].path(), tocPath());
    EXPECT_EQ(reported[0].errnum(), EISDIR);
    EXPECT_EQ(reported[0].message(), "open " + tocPath() + ": " + std::strerror(EISDIR));
    EXPECT_EQ(reported[1].path(), boxPath() + "/mbox");
    EXPECT_TRUE(panels->alerts().empty());
}

TEST_F(MailContextTest, ForeignLockIsRefusedWithoutAskingWhenNobodyDecides) {
    makeBox("");
    spit(boxPath() + "/.lock", "elsewhere,Someone,1");
    EXPECT_FALSE(MailBox::newMailBox(boxPath(), headless(Defaults::shared())));
    EXPECT_EQ(slurp(boxPath() + "/.lock"), "elsewhere,Someone,1");
    EXPECT_TRUE(panels->alerts().empty());
}

TEST_F(MailContextTest, TwoMailboxesKeepTheirOwnSettings) {
    std::string upper = writeFile("upper.sh", "#!/bin/sh\nexec tr a-z A-Z\n");
    ::chmod(upper.c_str(), 0755);
    auto loudStore = std::make_shared<MemoryDefaultsStore>();
    loudStore->set("DisplayFilter", upper);
    loudStore->set("PriorityHeader", "X-Priority");
    Defaults plain, loud;
    plain.setStore(std::make_shared<MemoryDefaultsStore>());
    loud.setStore(loudStore);
    makeBox(smallMbox(), "Plain.mbox");
    makeBox(smallMbox(), "Loud.mbox");
    auto quiet = MailBox::newMailBox(boxPath("Plain.mbox"), headless(plain));
    auto shouting = MailBox::newMailBox(boxPath("Loud.mbox"), headless(loud));
    ASSERT_TRUE(quiet && shouting);
    EXPECT_TRUE(quiet->loadMessageTextAt(2)->starts_with("From tester"));
    EXPECT_TRUE(shouting->loadMessageTextAt(2)->starts_with("FROM TESTER"));
    EXPECT_TRUE(quiet->loadMessageTextAt(2)->starts_with("From tester"));
    // Each index was built with its own "PriorityHeader".
    std::uint32_t quietPriorities = 0, loudPriorities = 0;
    for (int i = 0; i < 4; ++i) {
        quietPriorities += quiet->tocInfoAt(i).priority;
        loudPriorities += shouting->tocInfoAt(i).priority;
    }
    EXPECT_EQ(quietPriorities, 0u);
    EXPECT_NE(loudPriorities, 0u);
    EXPECT_TRUE(reported.empty());
}

}  // namespace
}  // namespace quill::test

// A transfer interrupted between the append and the source's marks, found
// when one of its two mailboxes opens: the other one is written only under its
// ".lock", and the moved message ends up live in exactly one mailbox, even
// when the source's index has to be rebuilt.
#include <gtest/gtest.h>

#include <filesystem>

#include "StoreFixture.h"
#include "platform/RunLoop.h"
#include "settings/Defaults.h"

namespace quill::test {
namespace {

const std::string kKept = "From a Mon Jan  1 00:00:00 2001\nSubject: kept\n\nbody\n\n";
const std::string kMoved = "From b Mon Jan  1 00:00:00 2001\nSubject: moved\n\nbody\n\n";
const std::string kOld = "From c Mon Jan  1 00:00:00 2001\nSubject: old\n\nbody\n\n";
const std::string kForeignLock = "elsewhere,Someone Else,1";

struct Scene {
    const char* name;
    bool appended;           // the append reached its full length
    const char* opensFirst;  // "S" or "T"
    const char* lockedBox;   // held by another program at the first opening, or ""
    bool damagedSourceIndex;
    bool firstOpens;  // whether that opening goes ahead
};

class TransferRecoveryTest : public StoreTest {
  protected:
    MailContext headless() {
        return {Defaults::shared(), *panels, runLoop(),
                [this](const Status& s) { reported.push_back(s); }, nullptr};
    }
    std::unique_ptr<MailBox> openBox(const std::string& name) {
        return MailBox::newMailBox(boxPath(name + ".mbox"), headless());
    }
    // S and T as a kill after the journal was written leaves them.
    void interrupt(const Scene& scene) {
        makeBox(kKept + kMoved, "S.mbox");
        makeBox(kOld, "T.mbox");
        openBox("S");
        openBox("T");
        std::string target = boxPath("T.mbox");
        std::size_t newLength = kOld.size() + kMoved.size();
        spit(target + "/mbox", kOld + (scene.appended ? kMoved : kMoved.substr(0, 20)));
        // The append clears the header's time first, as getMail does.
        std::string index = tocBytes("T.mbox");
        index.replace(8, 4, 4, '\0');
        spit(tocPath("T.mbox"), index);
        spit(boxPath("S.mbox") + "/Pending_Transfer", target + "\n");
        spit(target + "/Pending_Append", std::to_string(kOld.size()) + " " +
                                             std::to_string(newLength) + "\n" + boxPath("S.mbox") +
                                             "\n" + std::to_string(kKept.size()) + " " +
                                             std::to_string(kMoved.size()) + "\n");
        if (scene.damagedSourceIndex) spit(tocPath("S.mbox"), std::string(32, '\0'));
    }
    // How many live copies of `subject` the box holds.
    int live(MailBox& box, const std::string& subject) {
        int n = 0;
        for (std::uint32_t i = 0; i < box.toc().length(); ++i) {
            std::string s, from;
            box.loadSubject(static_cast<int>(i), s, from);
            n += s == subject && !box.tocInfoAt(static_cast<int>(i)).status.isDeleted();
        }
        return n;
    }
    bool left(const std::string& box, const char* file) {
        return std::filesystem::exists(boxPath(box + ".mbox") + "/" + file);
    }
    std::vector<Status> reported;
};

TEST_F(TransferRecoveryTest, MovedMessageIsLiveOnceAndTheOtherBoxIsWrittenOnlyUnderItsLock) {
    const Scene scenes[] = {
        {"finished from the source", true, "S", "", false, true},
        {"finished from the target", true, "T", "", false, true},
        {"undone from the target", false, "T", "", false, true},
        {"target held while the source opens", true, "S", "T", false, false},
        {"source held while the target finishes", true, "T", "S", false, false},
        {"source held while the target undoes", false, "T", "S", false, true},
        {"source index rebuilt, from the source", true, "S", "", true, true},
        {"source index rebuilt, from the target", true, "T", "", true, true},
    };
    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        removeTree(mailDir());
        std::filesystem::create_directories(mailDir());
        reported.clear();
        interrupt(scene);
        std::string held = *scene.lockedBox ? boxPath(std::string(scene.lockedBox) + ".mbox") : "";
        if (!held.empty()) spit(held + "/.lock", kForeignLock);
        std::string targetMail = slurp(boxPath("T.mbox") + "/mbox");

        bool opened = openBox(scene.opensFirst) != nullptr;
        ASSERT_EQ(opened, scene.firstOpens);
        if (!held.empty()) {
            EXPECT_EQ(slurp(held + "/.lock"), kForeignLock);
            if (!opened) {
                ASSERT_FALSE(reported.empty());
                EXPECT_EQ(reported.back().kind(), Status::kInUse);
                EXPECT_EQ(reported.back().path(), held);
                EXPECT_EQ(slurp(boxPath("T.mbox") + "/mbox"), targetMail);
                EXPECT_TRUE(left("T", "Pending_Append"));
            }
            ::unlink((held + "/.lock").c_str());
        }
        std::unique_ptr<MailBox> source = openBox("S"), target = openBox("T");
        ASSERT_TRUE(source && target);
        EXPECT_EQ(live(*source, "moved") + live(*target, "moved"), 1);
        EXPECT_EQ(live(*target, "moved"), scene.appended ? 1 : 0);
        EXPECT_EQ(live(*source, "kept") + live(*target, "old"), 2);
        for (const char* mark : {"Pending_Transfer", "Pending_Deletions"})
            EXPECT_FALSE(left("S", mark)) << mark;
        EXPECT_FALSE(left("T", "Pending_Append"));
        source.reset();
        target.reset();
        // Our own lock files went with the work.
        EXPECT_FALSE(left("S", ".lock"));
        EXPECT_FALSE(left("T", ".lock"));
    }
}

}  // namespace
}  // namespace quill::test

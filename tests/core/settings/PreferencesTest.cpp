// The Preferences window's decisions: checked fields, apply and revert, closing.
#include <gtest/gtest.h>

#include "settings/Defaults.h"
#include "settings/Preferences.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;

class PreferencesTest : public QuillTest {};

TEST_F(PreferencesTest, EditsAreCheckedButKeptUntilApplied) {
    Preferences prefs;
    EXPECT_EQ(prefs.value("PollTime"), "5");
    panels->answer(0);
    EXPECT_FALSE(prefs.edit("SpoolDir", tmp() + "/nope"));
    EXPECT_EQ(prefs.value("SpoolDir"), tmp() + "/nope");
    panels->answer(0);
    EXPECT_TRUE(prefs.edit("PollTime", "abc"));
    EXPECT_EQ(prefs.value("PollTime"), "0");
    EXPECT_EQ(Defaults::shared().pollTime(), 5);
    panels->answer(0);  // apply re-checks the spool directory and refuses
    EXPECT_FALSE(prefs.apply());
    EXPECT_TRUE(prefs.edit("SpoolDir", spoolDir()));
    EXPECT_TRUE(prefs.apply());
    EXPECT_EQ(Defaults::shared().pollTime(), 0);
    EXPECT_FALSE(prefs.hasChanges());
}

TEST_F(PreferencesTest, ChangingTheMailDirectoryNotesTheRestart) {
    Preferences prefs;
    std::string other = tmp() + "/spool";
    EXPECT_TRUE(prefs.edit("MailDir", other));
    EXPECT_TRUE(prefs.edit("ShowSizes", "NO"));
    panels->answer(0);
    EXPECT_TRUE(prefs.apply());
    EXPECT_EQ(panels->alerts().back().message,
              "Note: Changes to the Mail Directory won't take effect until you restart Quill.app.");
    EXPECT_EQ(*store->get("MailDir"), other);
    EXPECT_EQ(*store->get("ShowSizes"), "NO");
}

TEST_F(PreferencesTest, ClosingWithChangesAsksToSetRevertOrStay) {
    Preferences prefs;
    EXPECT_TRUE(prefs.windowShouldClose());
    prefs.edit("IncludePrefix", "| ");
    panels->answer("Cancel");
    EXPECT_FALSE(prefs.windowShouldClose());
    panels->answer("Revert");
    EXPECT_TRUE(prefs.windowShouldClose());
    EXPECT_EQ(Defaults::shared().includePrefix(), "> ");
    prefs.edit("IncludePrefix", "| ");
    panels->answer("Set");
    EXPECT_TRUE(prefs.windowShouldClose());
    EXPECT_EQ(Defaults::shared().includePrefix(), "| ");
}

}  // namespace
}  // namespace quill

// Every settings key is shown in the Preferences window and can be changed there.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "settings/Defaults.h"
#include "settings/PreferenceKeyTable.h"
#include "settings/Preferences.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;
using K = PreferenceKeyTable::Kind;

// The keys of the user defaults, written out independently of the key table.
const char kAllKeys[] =
    "MailDir SpoolDir Mailer ActiveMailbox OutgoingMailbox DraftsMailbox TemplatesMailbox "
    "PollTime AutoFetch RemoteFetch IncAllMailboxes AutoCompact MailSound ShowIconCount "
    "QXAutoLaunch QXHideOnAutoLaunch LoadBundles Debug MailFilter DisplayFilter MailMarker "
    "ShowDeletions ShowSizes StatusLine DeleteAlwaysSelects DoubleClickRestores "
    "RestrictedRestore FoundDisplayDelay ShowURLs WebBrowserPath LineLength IncludePrefix "
    "ReplyEmptyLines ReplyTo ReplyToSelf Alternates AutoReplyFormat AutoSelectFont "
    "AutoIndent KeyBindings Archive ReadReceipt ReadReceiptOption Encrypt SendFormat NonZell "
    "MimeAlternatives Send8BitMime SendRtfEnrichedMime SendSizeLimit SafeSend "
    "IgnoreMailerErrors ComposeSizeDelay DelayedComposeUpdateSize ComposeStatusLine "
    "ComposeTemplate UseSignatureFile UserKey1 UserValue1 UserKey2 UserValue2 PriorityHeader "
    "PriorityValues Uuencoder TarCommand CompressCommand UncompressCommand AddressPath "
    "ExpandPrivateAliases LoadNISAddresses LoadVexnodeAddresses PeopleDir PagesPerSheet "
    "Orientation SpacePages TocFont TocFontSize IconFont IconFontSize ";

std::vector<std::string> allKeys() {
    std::istringstream words(kAllKeys);
    return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

class PreferenceKeyTableTest : public QuillTest {
  protected:
    // A value of the field's kind that differs from its current one and passes its check.
    std::string otherValue(const PreferenceKeyTable::Row& row) {
        std::string now = row.get(Defaults::shared());
        switch (row.kind) {
            case K::Boolean:
                return now == "YES" ? "NO" : "YES";
            case K::Number:
                return now == "7" ? "8" : "7";
            case K::Choice: {
                std::vector<std::string> options = row.options();
                return now == options.back() ? options.front() : options.back();
            }
            case K::MailDirectory:
            case K::SpoolDirectory:
            case K::Folder:
                return spoolDir();
            case K::Mailer:
            case K::File:
                return "/bin/sh";
            case K::Text:
                return "changed:value";
        }
        return {};
    }
};

TEST_F(PreferenceKeyTableTest, EveryKeyIsShownAndCanBeChanged) {
    Defaults::shared().setMessageClassNames({"MailMessage", "MimeMessage"});
    panels->answer(0);  // the note about the mail directory
    Preferences prefs;
    const std::vector<std::string> keys = allKeys();
    ASSERT_EQ(keys.size(), 79u);
    for (const std::string& key : keys) {
        const PreferenceKeyTable::Row* row = PreferenceKeyTable::find(key);
        ASSERT_NE(row, nullptr) << key << " is not in the Preferences window";
        std::string wanted = otherValue(*row);
        EXPECT_TRUE(prefs.edit(key, wanted)) << key;
        EXPECT_TRUE(prefs.hasChanges()) << key;
    }
    EXPECT_TRUE(prefs.apply());
    for (const std::string& key : keys) {
        EXPECT_TRUE(store->get(key).has_value()) << key << " was not written";
    }
}

TEST_F(PreferenceKeyTableTest, LabelsAreReadOffTheKeys) {
    struct Case {
        const char* key;
        const char* label;
    };
    const Case cases[] = {
        {"PriorityHeader", "Priority header"},      {"ShowURLs", "Show URLs"},
        {"LoadNISAddresses", "Load NIS addresses"}, {"UserKey1", "User key 1"},
        {"TemplatesMailbox", "Templates mailbox"},  {"MailDir", "Mailboxes directory"}};
    for (const Case& c : cases) EXPECT_EQ(PreferenceKeyTable::labelFor(c.key), c.label) << c.key;
}

TEST_F(PreferenceKeyTableTest, AFieldThatFailsKeepsTheOtherChangesAndIsNamed) {
    Preferences prefs;
    std::string spool = Defaults::shared().spoolDir();
    panels->answer(0);
    EXPECT_FALSE(prefs.edit("SpoolDir", tmp() + "/missing"));
    EXPECT_TRUE(prefs.edit("PriorityHeader", "X-Priority"));
    EXPECT_TRUE(prefs.edit("FoundDisplayDelay", "-1"));  // negative turns it off
    panels->answer(0);
    EXPECT_FALSE(prefs.apply());
    EXPECT_EQ(panels->alerts().back().message,
              "The value of \"Spool directory\" is not valid and was not set; the other changes "
              "were set.");
    EXPECT_EQ(Defaults::shared().priorityHeader(), "X-Priority");
    EXPECT_EQ(Defaults::shared().foundDisplayDelay(), -1);
    EXPECT_EQ(prefs.failedKeys(), std::vector<std::string>{"SpoolDir"});
    EXPECT_EQ(prefs.value("SpoolDir"), tmp() + "/missing");
    EXPECT_EQ(Defaults::shared().spoolDir(), spool);
}

}  // namespace
}  // namespace quill

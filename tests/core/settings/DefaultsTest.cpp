// Reading and writing rules of the user settings.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "settings/Defaults.h"
#include "settings/PreferenceFields.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;

class DefaultsTest : public QuillTest {
  protected:
    // Stores the values, then reads the settings afresh.
    void stored(std::initializer_list<std::pair<const char*, const char*>> values) {
        for (const auto& [key, value] : values) store->set(key, value);
        d.setStore(store);
    }
    Defaults& d = Defaults::shared();
};

TEST_F(DefaultsTest, BooleansReadByTheWordThenTheNumberRule) {
    for (const char* yes : {"YES", "y", "yes", "Y", "1", "7", "-2"}) {
        stored({{"ShowSizes", yes}});
        EXPECT_TRUE(d.showSizes()) << yes;
    }
    for (const char* no : {"NO", "n", "no", "0", "maybe", ""}) {
        stored({{"ShowSizes", no}});
        EXPECT_FALSE(d.showSizes()) << no;
    }
    store->remove("ShowSizes");
    d.setStore(store);
    EXPECT_TRUE(d.showSizes());
    EXPECT_FALSE(d.showDeletions());
}

TEST_F(DefaultsTest, IntegersReadTheLeadingNumberAndDefaultWhenAbsent) {
    EXPECT_EQ(d.pollTime(), 5);
    EXPECT_EQ(d.lineLength(), 70);
    stored({{"SendSizeLimit", "250KB"}, {"FoundDisplayDelay", "-1"}, {"LineLength", "wide"}});
    EXPECT_EQ(d.sendSizeLimit(), 250);
    EXPECT_EQ(d.foundDisplayDelay(), -1);
    EXPECT_EQ(d.lineLength(), 0);
}

TEST_F(DefaultsTest, ValuesAreCachedAndWrittenOnlyWhenTheyChange) {
    EXPECT_EQ(d.pollTime(), 5);
    store->set("PollTime", "9");  // another writer; the cached value stands
    EXPECT_EQ(d.pollTime(), 5);
    int before = store->writes();
    d.setPollTime(5);
    EXPECT_EQ(store->writes(), before);
    d.setPollTime(3);
    d.setAutoFetch(false);
    d.setAutoFetch(false);
    EXPECT_EQ(store->writes(), before + 2);
    EXPECT_EQ(*store->get("PollTime"), "3");
    EXPECT_EQ(*store->get("AutoFetch"), "NO");
}

TEST_F(DefaultsTest, ClearedValuesRemoveTheirKeyOrStoreWhatTheKeySays) {
    d.setIncludePrefix("| ");
    EXPECT_EQ(*store->get("IncludePrefix"), "| ");
    d.setIncludePrefix("");
    EXPECT_FALSE(store->get("IncludePrefix"));
    EXPECT_EQ(d.includePrefix(), "> ");

    std::string mailDirBefore = *store->get("MailDir");
    d.setWebBrowserPath("/usr/bin/firefox");
    d.setWebBrowserPath(std::nullopt);
    EXPECT_EQ(*store->get("WebBrowserPath"), "");
    EXPECT_EQ(*store->get("MailDir"), mailDirBefore);

    d.setMailDir("");
    EXPECT_EQ(*store->get("MailDir"), "~/tessel/Mailboxes");
}

TEST_F(DefaultsTest, EmptyStoredValuesCountAsAbsentOnlyWhereTheKeySaysSo) {
    stored({{"RemoteFetch", ""}, {"Alternates", ""}, {"WebBrowserPath", ""}});
    EXPECT_EQ(d.remoteFetch(), "NO");
    EXPECT_EQ(d.alternates(), "");
    EXPECT_EQ(d.webBrowserPath(), "xdg-open");
}

TEST_F(DefaultsTest, MailFilterIsStoredInNumberedPieces) {
    EXPECT_EQ(d.mailFilter().rfind("Content-Length:Content-Transfer-Encoding", 0), 0u);
    stored({{"MailFilter", "Received"}, {"MailFilter1", "X-Face"}, {"MailFilter2", "Status"}});
    EXPECT_EQ(d.mailFilter(), "Received:X-Face:Status");

    d.setMailFilter("Received:Precedence");
    EXPECT_EQ(*store->get("MailFilter"), "Received");
    EXPECT_EQ(*store->get("MailFilter1"), "Precedence");
    EXPECT_FALSE(store->get("MailFilter2"));
    d.setStore(store);
    EXPECT_EQ(d.mailFilter(), "Received:Precedence");

    int before = store->writes();
    d.setMailFilter("Received:Precedence");
    EXPECT_EQ(store->writes(), before);
}

TEST_F(DefaultsTest, SendFormatNamesAClassOfTheRegisteredList) {
    EXPECT_EQ(d.sendFormat(), 1);  // MimeMessage
    stored({{"NonZell", "YES"}});
    EXPECT_EQ(d.sendFormat(), 0);
    stored({{"SendFormat", "MIME"}});
    EXPECT_EQ(d.sendFormat(), 2);  // the native-format class
    stored({{"SendFormat", "Plain"}});
    EXPECT_EQ(d.sendFormat(), 0);
    stored({{"SendFormat", "PgpMessage"}});
    EXPECT_EQ(d.sendFormat(), 1);
    d.setSendFormat(3);
    EXPECT_EQ(*store->get("SendFormat"), "SunMessage");
    EXPECT_EQ(d.sendFormat(), 3);
}

TEST_F(DefaultsTest, ChoicesMapWordsToIndexes) {
    stored({{"ReadReceiptOption", "Ask"}, {"Orientation", "LANDSCAPE"}});
    EXPECT_EQ(d.readReceiptOption(), 2);
    EXPECT_EQ(d.orientation(), 1);
    stored({{"ReadReceiptOption", "Sometimes"}, {"Orientation", "portrait"}});
    EXPECT_EQ(d.readReceiptOption(), 0);
    EXPECT_EQ(d.orientation(), 0);
    d.setOrientation(1);
    d.setReadReceiptOption(1);
    EXPECT_EQ(*store->get("Orientation"), "Landscape");
    EXPECT_EQ(*store->get("ReadReceiptOption"), "Never");
}

TEST_F(DefaultsTest, SpoolFileAndMailerExpandTheHomeDirectory) {
    stored({{"SpoolDir", "~/spool"}, {"Mailer", "~/bin/mailer"}});
    EXPECT_EQ(d.spoolFile(), home() + "/spool/tester");
    EXPECT_EQ(d.mailer(), home() + "/bin/mailer");
}

TEST_F(DefaultsTest, FontsFallBackToThePlatformThenBuiltInFaces) {
    EXPECT_EQ(d.msgFont(), (FontDescription{"Helvetica", 12}));
    EXPECT_EQ(d.boldFont().name, "Helvetica-Bold");
    EXPECT_EQ(d.fixedFont(), (FontDescription{"Courier", 12}));
    d.setPlatformFonts({FontDescription{"DejaVu Sans", 11}, std::nullopt,
                        FontDescription{"DejaVu Sans Mono", 13}});
    EXPECT_EQ(d.boldFont(), (FontDescription{"DejaVu Sans-Bold", 11}));
    EXPECT_EQ(d.fixedFont(), (FontDescription{"DejaVu Sans Mono", 10}));
    stored({{"TocFontSize", "9"}});
    EXPECT_EQ(d.tocFont(), (FontDescription{"Helvetica", 9}));
    d.setPlatformFonts({});
}

TEST_F(DefaultsTest, PreferenceFieldsWarnAndKeepGoing) {
    panels->answer(0);
    EXPECT_EQ(readNumericField("x12y"), 12);
    EXPECT_EQ(readNumericField("15"), 15);
    EXPECT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].message, "Warning: The value in this field must be numeric.");

    EXPECT_TRUE(checkMailboxesDirectoryField(mailDir()));
    panels->answer(0);
    EXPECT_FALSE(checkSpoolDirectoryField(tmp() + "/missing"));
    EXPECT_EQ(panels->alerts().back().message,
              "Warning: The spool directory " + tmp() +
                  "/missing either doesn't exist or you don't have full access to it.");
    std::string mailer = writeFile("mailer", "#!/bin/sh\n");
    panels->answer(0);
    EXPECT_FALSE(checkMailerField(mailer));
    ::chmod(mailer.c_str(), 0755);
    EXPECT_TRUE(checkMailerField(mailer));
    panels->answer("Revert");
    EXPECT_EQ(askAboutUnappliedChanges(), UnappliedChangesAnswer::Revert);
}

}  // namespace
}  // namespace quill

// Diagnostics formats, the file-error texts and the alert plumbing.
#include <gmock/gmock.h>

#include <cerrno>
#include <cstring>

#include "base/Diagnostics.h"
#include "platform/ConsolePanels.h"
#include "platform/Error.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;
using ::testing::ElementsAre;

class ReportingTest : public QuillTest {};

TEST_F(ReportingTest, DiagnosticLinesHaveTheirExactShapes) {
    logNote("MailBox", "opened %d messages", 3);
    logWarning("MimeMessage", "bad %s", "boundary");
    logError("Toc", "short record");
    logRaw("[Quill: Bundle loading disabled]\n");
    EXPECT_THAT(
        logLines,
        ElementsAre("[MailBox: opened 3 messages]\n", "[MimeMessage Warning: bad boundary]\n",
                    "[*** Toc Error: short record***]\n", "[Quill: Bundle loading disabled]\n"));
}

// Codes past either end of the table fall back to "access".
TEST_F(ReportingTest, FileErrorVerbsCoverEveryCodeAndFallBackToAccess) {
    EXPECT_EQ(Error::verb(0), "open");
    EXPECT_EQ(Error::verb(11), "execute");
    EXPECT_EQ(Error::verb(12), "access");
    EXPECT_EQ(Error::verb(-1), "access");
}

TEST_F(ReportingTest, BadFileShowsOneAlertWithTheSystemReason) {
    panels->answer(0);
    Error::shared().badFile("/m/Active.mbox/mbox", kFileWrite, ENOSPC);
    ASSERT_EQ(panels->alerts().size(), 1u);
    const AlertRequest& a = panels->alerts()[0];
    EXPECT_EQ(a.title, "File system error");
    EXPECT_EQ(a.message, std::string("Unable to write /m/Active.mbox/mbox.  File system error: ") +
                             std::strerror(ENOSPC));
    EXPECT_THAT(a.buttons, ElementsAre("OK"));
}

TEST_F(ReportingTest, NoSystemReasonMeansNoSuffixAndPercentInPathStaysLiteral) {
    EXPECT_EQ(Error::fileErrorMessage("/a/100%s", kFileLock, 0), "Unable to lock /a/100%s. ");
    panels->answer(0);
    Error::shared().badDir("/x/%d", 0);
    EXPECT_EQ(panels->alerts().back().message, "Unable to open directory: /x/%d. ");
}

TEST_F(ReportingTest, TranslationsApplyPerTableAndPluralsChooseByCount) {
    setTranslator(
        [](const std::string& table, const std::string& text) -> std::optional<std::string> {
            if (table == "Buttons" && text == "OK") return std::string("D'accord");
            if (table == "UIplural" && text == "%d messages") return std::string("%d Nachrichten");
            if (table == "FileSystemError" && text == "read") return std::string("lire");
            return std::nullopt;
        });
    EXPECT_EQ(localized("Alerts", "OK"), "OK");
    EXPECT_EQ(localizedCount("%d messages", 2), "%d Nachrichten");
    EXPECT_EQ(localizedCount("%d messages", 1), "%d messages");
    EXPECT_EQ(Error::fileErrorMessage("/f", kFileRead, 0), "Unable to lire /f. ");
    panels->answer("D'accord");
    EXPECT_EQ(runAlert("T", "m", "OK", nullptr, nullptr), 0);
    setTranslator(nullptr);
}

TEST_F(ReportingTest, ScriptedPanelsAnswerInOrderAndReportSurprises) {
    panels->answer(2);
    panels->answer("Revert");
    EXPECT_EQ(runAlert("Q", "%s?", "Set", "Revert", "Cancel", "go"), 2);
    EXPECT_EQ(runAlert("Q", "again", "Set", "Revert", "Cancel"), 1);
    EXPECT_EQ(panels->alerts()[0].message, "go?");

    std::vector<std::string> surprises;
    panels->onUnexpected = [&](const AlertRequest& r) { surprises.push_back(r.message); };
    EXPECT_EQ(runAlert("Q", "nobody expected this", "OK", nullptr, nullptr), 0);
    panels->answer("Nope");
    runAlert("Q", "wrong label", "OK", nullptr, nullptr);
    EXPECT_EQ(surprises.size(), 2u);
}

TEST_F(ReportingTest, ScriptedProgressCancelsAfterTheGivenUpdates) {
    panels->cancelProgressAfter(2);
    auto p = panels->beginProgress("Open Mailbox", "Rebuilding", true);
    p->setFraction(0.1);
    EXPECT_FALSE(p->cancelled());
    p->setFraction(0.2);
    EXPECT_TRUE(p->cancelled());
    auto q = panels->beginProgress("Other", "x", true);
    q->setFraction(0.5);
    EXPECT_FALSE(q->cancelled());
    EXPECT_EQ(panels->progress()[0].fractions.size(), 2u);
}

TEST(ConsolePanelsTest, PrintsTheAlertAndAnswersLastOrFirstButton) {
    char* text = nullptr;
    size_t len = 0;
    std::FILE* out = open_memstream(&text, &len);
    ConsolePanels last(false, out), first(true, out);
    EXPECT_EQ(last.runAlert({"Open", "Busy", {"Open Anyway", "Cancel"}}), 1);
    EXPECT_EQ(first.runAlert({"Open", "Busy", {"Open Anyway", "Cancel"}}), 0);
    std::fclose(out);
    EXPECT_EQ(std::string(text, len),
              "Open: Busy [Open Anyway/Cancel]\nOpen: Busy [Open Anyway/Cancel]\n");
    std::free(text);
}

}  // namespace
}  // namespace quill

// A mailbox window's decisions on a real mailbox: the status line, deleting
// and undoing, read and flag marks, focus, moving and showing messages.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include "app/MailDriver.h"
#include "formats/uuencode.h"
#include "message/MimeMessage.h"
#include "platform/RunLoop.h"
#include "platform/Workspace.h"
#include "reader/MailReader.h"
#include "settings/Defaults.h"
#include "support/QuillTest.h"

namespace quill {
namespace {

using test::QuillTest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::string message(int n, const std::string& from, const std::string& extra = "") {
    return "From " + from + " Mon Mar  4 10:00:0" + std::to_string(n) + " 2024\nFrom: " + from +
           "\nTo: tester\nSubject: note " + std::to_string(n) + "\nDate: Mon, 4 Mar 2024 10:00:0" +
           std::to_string(n) + " +0000\nReceived: by relay\n" + extra + "\nbody " +
           std::to_string(n) + "\n\n";
}

struct RecordingView : MailReaderView {
    void listChanged() override { ++lists; }
    void scrollToRow(int row) override { scrolled = row; }
    void messageChanged() override { ++messages; }
    void setStatusText(const std::string& text) override { status = text; }
    void setStatusLineVisible(bool visible) override { statusVisible = visible; }
    void setTitle(const std::string& t) override { title = t; }
    void orderFront() override {}
    void closeWindow() override { closed = true; }
    bool windowFrame(tocformat::WindowFrame& f, float& h) const override {
        if (!frame) return false;
        f = *frame;
        h = tocHeight;
        return true;
    }
    void setMessageSummary(const std::string& s, const std::string& d) override {
        sender = s;
        date = d;
    }
    void setMiniature(const std::string& name) override { miniature = name; }
    std::optional<tocformat::WindowFrame> frame;
    float tocHeight = 0;
    std::string sender, date, miniature;
    int lists = 0, messages = 0, scrolled = -1;
    bool statusVisible = true, closed = false;
    std::string status, title;
};

class MailReaderTest : public QuillTest {
  protected:
    void SetUp() override {
        QuillTest::SetUp();
        path = mailDir() + "/Test.mbox";
        ::mkdir(path.c_str(), 0700);
        std::string mbox;
        for (int i = 0; i < 4; ++i) mbox += message(i, i % 2 ? "ann@x.org" : "bob@y.org");
        writeFile("home/Mail/Test.mbox/mbox", mbox);
        reader = MailReader::open(path, MailDriver::shared().mailContext(), MailDriver::shared());
        ASSERT_TRUE(reader);
        reader->setView(&view);
    }
    void TearDown() override {
        reader.reset();
        QuillTest::TearDown();
    }
    void select(std::initializer_list<int> rows) {
        reader->matrix().clearSelection();
        for (int r : rows) reader->matrix().selectRow(r, true);
    }

    std::string path;
    std::unique_ptr<MailReader> reader;
    RecordingView view;
};

TEST_F(MailReaderTest, StatusLineCountsMessagesSizesAndDeletions) {
    EXPECT_THAT(view.status, ::testing::MatchesRegex("4 messages \\([0-9]+KB\\)"));
    EXPECT_EQ(view.title, "Test.mbox");
    select({1});
    reader->deleteMsg();
    EXPECT_THAT(view.status,
                ::testing::MatchesRegex("4 messages \\([0-9]+KB\\) - 1 deleted \\(1KB\\)"));
    reader->toggleShowingSizes();
    EXPECT_EQ(view.status, "4 messages - 1 deleted");
    select({0, 1});
    reader->focus();
    EXPECT_EQ(view.status, "Focused on 2 messages");
}

// Bytes 12..31 of the index header: list height, then x, y, width, height.
std::string frameBytes(const std::string& mailboxPath) {
    return test::slurp(mailboxPath + "/table_of_contents").substr(12, 20);
}

TEST_F(MailReaderTest, AnIndexRebuiltUnderTheWindowRecordsTheWindowsFrame) {
    view.frame = tocformat::WindowFrame{10, 20, 700, 500};
    view.tocHeight = 222;
    ASSERT_EQ(reader->mailbox().toc().writeFileFor(reader->mailbox()), 4);
    EXPECT_EQ(frameBytes(path), std::string("\x43\x5e\x00\x00"
                                            "\x41\x20\x00\x00\x41\xa0\x00\x00"
                                            "\x44\x2f\x00\x00\x43\xfa\x00\x00",
                                            20));
}

TEST_F(MailReaderTest, TheFrameAtClosingIsTheFrameAtTheNextOpening) {
    tocformat::WindowFrame defaults;
    float defaultHeight = 0;
    MailBox::defaultWindowFrame(defaults, defaultHeight);
    EXPECT_EQ(reader->savedFrame().width, defaults.width);
    EXPECT_EQ(reader->savedTocHeight(), defaultHeight);
    EXPECT_FALSE(reader->hasRecordedFrame());

    view.frame = tocformat::WindowFrame{30, 40, 900, 700};
    view.tocHeight = 250;
    reader->closeWindow();      // as the quit closes windows
    reader->windowWillClose();  // then the window's own close event
    EXPECT_TRUE(view.closed);
    reader.reset();
    reader = MailReader::open(path, MailDriver::shared().mailContext(), MailDriver::shared());
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->savedFrame().x, 30);
    EXPECT_EQ(reader->savedFrame().y, 40);
    EXPECT_EQ(reader->savedFrame().width, 900);
    EXPECT_EQ(reader->savedFrame().height, 700);
    EXPECT_EQ(reader->savedTocHeight(), 250);
    EXPECT_TRUE(reader->hasRecordedFrame());
}

TEST_F(MailReaderTest, DeleteHidesRowsAndUndoRestoresTheLastDeletion) {
    select({1, 2});
    reader->deleteMsg();
    EXPECT_THAT(reader->matrix().getAll(), ElementsAre(0, 3));
    EXPECT_EQ(reader->mailbox().getStateForMsg(1).toChar(), 'd');
    EXPECT_TRUE(reader->validateItem(MailReader::Command::UndeleteMsg).enabled);
    reader->undeleteMsg();
    EXPECT_THAT(reader->matrix().getAll(), ElementsAre(0, 1, 2, 3));
    EXPECT_EQ(reader->curMsg(), 2);
    EXPECT_NE(reader->mailbox().getStateForMsg(1).toChar(), 'd');
    EXPECT_FALSE(reader->validateItem(MailReader::Command::UndeleteMsg).enabled);
}

TEST_F(MailReaderTest, DeleteOneMovesToTheNextMessage) {
    select({0});
    reader->selectionDidChange();
    EXPECT_EQ(reader->curMsg(), 0);
    reader->deleteOne(false);
    EXPECT_EQ(reader->curMsg(), 1);
    EXPECT_THAT(reader->matrix().getAll(), ElementsAre(1, 2, 3));
    select({2});  // the last row: the one above is shown instead
    reader->selectionDidChange();
    reader->deleteOne(false);
    EXPECT_EQ(reader->curMsg(), 2);
    reader->deleteOne(true);
    EXPECT_EQ(reader->curMsg(), -1);
}

// Rows passed over by a held key are never read; the one the keys stop on
// is, and a command acts on it even before the wait is over.
TEST_F(MailReaderTest, KeysShowTheMessageTheyStopOnAndCommandsDoNotWaitForIt) {
    select({0});
    reader->selectionDidChange();
    int shown = view.messages;
    for (int row : {1, 2, 3}) {
        select({row});
        reader->selectionDidChange(true);
    }
    EXPECT_EQ(reader->curMsg(), 0);
    EXPECT_TRUE(runLoop().runUntil([&] { return reader->curMsg() == 3; }, std::chrono::seconds(2)));
    EXPECT_EQ(view.messages, shown + 1);

    select({1});
    reader->selectionDidChange(true);
    reader->perform(MailReader::Command::ToggleFlagged);
    EXPECT_EQ(reader->curMsg(), 1);
    EXPECT_EQ(reader->mailbox().getStateForMsg(1).toChar(), 'f');
    select({2});
    reader->selectionDidChange(true);
    reader->selectionDidChange();  // a click does not wait, nor leave a display behind
    EXPECT_EQ(reader->curMsg(), 2);
    shown = view.messages;
    runLoop().runUntil([] { return false; }, 2 * DeferredDisplay::kWait);
    EXPECT_EQ(view.messages, shown);
}

// A window closing closes the index before the list is last drawn.
TEST_F(MailReaderTest, RowsReadTheIndexOnlyWhileItIsOpen) {
    const MailCell& cell = reader->matrix().cellAtRow(3);
    EXPECT_EQ(reader->matrix().detailsOf(cell).size, reader->mailbox().toc().entry(3).size);
    EXPECT_GT(reader->matrix().detailsOf(cell).dateVal, 0u);
    reader->closeWindow();
    EXPECT_EQ(reader->matrix().detailsOf(cell).size, 0);
    EXPECT_TRUE(reader->matrix().loadedTextsAtRow(2).subject.empty());
}

TEST_F(MailReaderTest, ShowingAMessageHidesFilteredHeadersUnlessAllAreWanted) {
    select({2});
    reader->selectionDidChange();
    const std::string& shown = reader->text().plainText();
    EXPECT_THAT(shown, HasSubstr("Subject: note 2"));
    EXPECT_THAT(shown, HasSubstr("body 2"));
    EXPECT_THAT(shown, Not(HasSubstr("Received:")));
    EXPECT_EQ(reader->validateItem(MailReader::Command::ToggleShowingAllHeaders).title,
              "Show All Headers");
    reader->toggleShowingAllHeaders();
    EXPECT_THAT(reader->text().plainText(), HasSubstr("Received: by relay"));
    EXPECT_EQ(reader->validateItem(MailReader::Command::ToggleShowingAllHeaders).title,
              "Show Filtered Headers");
    EXPECT_EQ(reader->mailbox().getStateForMsg(2).toChar(), '>');
}

TEST_F(MailReaderTest, ReadAndFlagMarksFollowTheFirstSelectedRow) {
    select({0, 1});
    EXPECT_EQ(reader->validateItem(MailReader::Command::ToggleMarkedAsRead).title,
              "Mark as Unread");
    reader->toggleMarkedAsRead();
    EXPECT_EQ(reader->mailbox().getStateForMsg(0).toChar(), 'u');
    EXPECT_EQ(reader->mailbox().getStateForMsg(1).toChar(), 'u');
    EXPECT_EQ(reader->validateItem(MailReader::Command::ToggleMarkedAsRead).title, "Mark as Read");
    reader->toggleFlagged();
    EXPECT_EQ(reader->mailbox().getStateForMsg(1).toChar(), 'f');
    EXPECT_EQ(reader->validateItem(MailReader::Command::ToggleFlagged).title, "Unflag");
    reader->toggleFlagged();
    EXPECT_EQ(reader->mailbox().getStateForMsg(0).toChar(), '<');
}

TEST_F(MailReaderTest, FocusNarrowsTheListAndUnfocusRestoresIt) {
    EXPECT_FALSE(reader->validateItem(MailReader::Command::Unfocus).enabled);
    select({1, 3});
    reader->focus();
    EXPECT_THAT(reader->matrix().getAll(), ElementsAre(1, 3));
    reader->unfocus();
    EXPECT_THAT(reader->matrix().getAll(), ElementsAre(0, 1, 2, 3));
    EXPECT_THAT(reader->matrix().getSelection(), ElementsAre(1, 3));
    EXPECT_EQ(reader->curMsg(), 1);
}

TEST_F(MailReaderTest, MovingPastTheEndBeeps) {
    select({3});
    reader->selectionDidChange();
    reader->nextMsg();
    EXPECT_EQ(panels->beeps(), 1);
    reader->previousMsg();
    EXPECT_EQ(reader->curMsg(), 2);
    EXPECT_EQ(view.scrolled, 2);
}

struct FakeWorkspace : Workspace {
    bool openFile(const std::string& path) override {
        opened.push_back(path);
        return works;
    }
    std::vector<std::string> opened;
    bool works = true;
};

class ForeignAttachmentTest : public QuillTest {
  protected:
    // A mailbox of one message whose body is the given text.
    std::unique_ptr<MailReader> openWithBody(const std::string& body) {
        ::mkdir((mailDir() + "/F.mbox").c_str(), 0700);
        writeFile("home/Mail/F.mbox/mbox",
                  "From a@b Mon Mar  4 10:00:00 2024\nFrom: a@b\nSubject: files\n\n" + body + "\n");
        auto reader = MailReader::open(mailDir() + "/F.mbox", MailDriver::shared().mailContext(),
                                       MailDriver::shared());
        reader->matrix().selectRow(0);
        reader->selectionDidChange();
        MailReader::setAttachmentRoot(tmp());
        installWorkspace(ws);
        return reader;
    }
    void TearDown() override {
        installWorkspace(nullptr);
        MailReader::setAttachmentRoot("/tmp");
        QuillTest::TearDown();
    }
    static std::string encoded(const std::string& name, const std::string& data) {
        ByteSource in(data);
        ByteSink out;
        uuencode(in, out, name, 0640);
        return out.bytes();
    }
    std::shared_ptr<FakeWorkspace> ws = std::make_shared<FakeWorkspace>();
};

TEST_F(ForeignAttachmentTest, EverySectionIsWrittenInsideTheDirectory) {
    auto reader = openWithBody("see below\n" + encoded("../../etc/evil", "one") + "middle\n" +
                               encoded("two.txt", "second file"));
    EXPECT_TRUE(reader->hasForeignAttachment());
    reader->extractAttachment();
    ASSERT_EQ(ws->opened.size(), 1u);
    EXPECT_EQ(ws->opened[0], tmp() + "/QuillAttachments");
    EXPECT_EQ(test::slurp(tmp() + "/QuillAttachments/etc/evil"), "one");
    EXPECT_EQ(test::slurp(tmp() + "/QuillAttachments/two.txt"), "second file");
    struct stat st;
    ASSERT_EQ(::stat((tmp() + "/QuillAttachments/two.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ForeignAttachmentTest, AnAttachmentNoProgramOpensIsReported) {
    auto reader = openWithBody("text\n");
    ws->works = false;
    panels->answer(0);
    reader->openAttachment(tmp() + "/att/slides.xyz");
    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].title, "Open Attachment");
    EXPECT_EQ(panels->alerts()[0].message,
              "No program on this computer is set up to open slides.xyz.");
    ws->works = true;
    reader->openAttachment(tmp() + "/att/slides.pdf");
    EXPECT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(ws->opened.back(), tmp() + "/att/slides.pdf");
}

TEST_F(ForeignAttachmentTest, NothingOrDamagedSectionsAreReported) {
    auto reader = openWithBody("no attachments here\n");
    panels->answer(0);
    reader->extractAttachment();
    EXPECT_EQ(panels->alerts().back().message, "Could not find any embedded documents");
    reader.reset();  // closes the mailbox before it is rewritten
    reader = openWithBody("text\nbegin 644 cut.bin\nM86)C\n");
    panels->answer(0);
    reader->extractAttachment();
    EXPECT_EQ(panels->alerts().back().message,
              "Could not decode embedded document; it appear to have been damaged");
    EXPECT_TRUE(ws->opened.empty());
}

TEST_F(MailReaderTest, PrintTextHoldsSummariesOrTheSelectedMessagesApart) {
    TextView out;
    reader->textWillPrint(PrintScope::Summaries, out);
    EXPECT_EQ(std::count(out.plainText().begin(), out.plainText().end(), '\n'), 4);
    EXPECT_THAT(out.plainText(), HasSubstr("note 3"));
    select({0, 2});
    reader->textWillPrint(PrintScope::Messages, out);
    const std::string& text = out.plainText();
    EXPECT_THAT(text, HasSubstr("body 0\n\n\n----------\n\n\nFrom: bob@y.org"));
    EXPECT_THAT(text, HasSubstr("body 2"));
    EXPECT_THAT(text, Not(HasSubstr("body 1")));
}

TEST_F(MailReaderTest, CancellingThePrintAbandonsItAfterTheCurrentMessage) {
    select({0, 1, 2});
    TextView out;
    int asked = 0;
    try {
        reader->textWillPrint(PrintScope::Messages, out, [&] { return ++asked == 2; });
        FAIL() << "printing went on after the user cancelled";
    } catch (const MailReader::PrintInterrupted& e) {
        EXPECT_STREQ(e.what(), "User interrupted print job");
    }
    EXPECT_EQ(asked, 2);
}

TEST_F(MailReaderTest, TheCommandViewShowsTheSendersNameAndTheDate) {
    reader->matrix().selectRow(1);
    reader->selectionDidChange();
    EXPECT_EQ(view.sender, "ann@x.org");
    EXPECT_EQ(view.date, "Mon, 4 Mar 2024 10:00:01 +0000");
    reader->emptyMsg();
    EXPECT_EQ(view.sender, "");
    EXPECT_EQ(view.date, "");
}

TEST_F(MailReaderTest, NewMailRetitlesTheWindowAndSwitchesItsMiniature) {
    view.title.clear();
    MailDriver::shared().newMailMsg();
    reader->haveNewMail();
    EXPECT_EQ(view.title, "Test.mbox");
    EXPECT_EQ(view.miniature, "mbox");
    MailDriver::shared().clearNewMail();
    reader->haveNewMail();
    EXPECT_EQ(view.miniature, "empty");
    MailDriver::shared().reset();
}

TEST_F(MailReaderTest, DelimiterStartsOnAFreshLine) {
    TextView text;
    text.replaceSel("abc");
    MailReader::insertDelimiter(text);
    MailReader::insertDelimiter(text);
    EXPECT_EQ(text.plainText(), "abc\n-----\n-----\n");
}

}  // namespace
}  // namespace quill

namespace quill {
namespace {

class CombineTest : public test::QuillTest {};

std::string partial(int number, const std::string& body) {
    std::string n = std::to_string(number);
    return "From a@b Mon Mar  4 10:00:0" + n + " 2024\nFrom: a@b\nSubject: photo part " + n +
           " of 3\nMIME-Version: 1.0\nContent-Type: message/partial; id=\"x@y\"; number=" + n +
           "; total=3\n\n" + body + "\n";
}

TEST_F(CombineTest, PartsAreJoinedInNumberOrderUnderTheEnclosedHeaders) {
    ::mkdir((mailDir() + "/P.mbox").c_str(), 0700);
    writeFile("home/Mail/P.mbox/mbox",
              partial(3, "\nthird\n\n\n") +
                  partial(1, "Content-Type: text/plain\nSubject: inner\n\n\nfirst\n") +
                  partial(2, "second\n"));
    auto reader = MailReader::open(mailDir() + "/P.mbox", MailDriver::shared().mailContext(),
                                   MailDriver::shared());
    ASSERT_TRUE(reader);
    for (int row = 0; row < 3; ++row) reader->matrix().selectRow(row, true);
    EXPECT_TRUE(reader->validateItem(MailReader::Command::CombinePartialMessages).enabled);
    reader->combinePartialMessages();
    EXPECT_EQ(reader->curMsg(), 3);
    std::string text(*reader->mailbox().loadMessageTextAt(3));
    EXPECT_THAT(text, HasSubstr("Subject: photo part 1-3 of 3\n"));
    EXPECT_THAT(text, HasSubstr("Content-Type: text/plain\n"));
    EXPECT_THAT(text, Not(HasSubstr("message/partial")));
    EXPECT_THAT(text, HasSubstr("\n\nfirst\nsecond\nthird\n"));
    EXPECT_EQ(reader->mailbox().getStateForMsg(0).toChar(), 'd');
}

TEST(CombinedSubjectTest, KeepsWhatDiffersBetweenFirstAndLast) {
    EXPECT_EQ(MailReader::combinedSubject("photo part 1 of 3", "photo part 3 of 3"),
              "photo part 1-3 of 3");
    EXPECT_EQ(MailReader::combinedSubject("", ""), "-");
}

}  // namespace
}  // namespace quill

namespace quill {
namespace {

class AlternativesTest : public test::QuillTest {};

TEST_F(AlternativesTest, TheChosenAlternativeIsShown) {
    registerMimeMessageClass();
    ::mkdir((mailDir() + "/A.mbox").c_str(), 0700);
    writeFile("home/Mail/A.mbox/mbox",
              "From a@b Mon Mar  4 10:00:00 2024\nFrom: a@b\nSubject: alt\nMIME-Version: 1.0\n"
              "Content-Type: multipart/alternative; boundary=XX\n\n--XX\n"
              "Content-Type: text/plain\n\nplain version\n--XX\n"
              "Content-Type: text/enriched\n\n<bold>rich version</bold>\n--XX--\n");
    auto reader = MailReader::open(mailDir() + "/A.mbox", MailDriver::shared().mailContext(),
                                   MailDriver::shared());
    ASSERT_TRUE(reader);
    reader->matrix().selectRow(0);
    reader->selectionDidChange();
    EXPECT_TRUE(reader->validateItem(MailReader::Command::ShowFirstAlternative).enabled);
    EXPECT_THAT(reader->text().plainText(), HasSubstr("rich version"));
    EXPECT_THAT(reader->text().plainText(), Not(HasSubstr("plain version")));
    reader->selectMimeAlternative(AlternativeChoice::First);
    EXPECT_THAT(reader->text().plainText(), HasSubstr("plain version"));
    EXPECT_THAT(reader->text().plainText(), Not(HasSubstr("rich version")));
    reader->selectMimeAlternative(AlternativeChoice::All);
    EXPECT_THAT(reader->text().plainText(), HasSubstr("plain version"));
    EXPECT_THAT(reader->text().plainText(), HasSubstr("rich version"));
}

using AttachmentIconTest = QuillTest;

// Showing a message writes nothing; the icon's file is written when asked for.
TEST_F(AttachmentIconTest, AnIconsFileIsWrittenOnlyWhenAskedFor) {
    registerMimeMessageClass();
    const std::string attachments = tmp() + "/attachments";
    ::mkdir(attachments.c_str(), 0700);
    MailMessage::setDefaultAttachmentDirectory(attachments);
    ::mkdir((mailDir() + "/M.mbox").c_str(), 0700);
    writeFile("home/Mail/M.mbox/mbox",
              "From a@b Mon Mar  4 10:00:00 2024\nFrom: a@b\nSubject: pdf\nMIME-Version: 1.0\n"
              "Content-Type: application/pdf; name=doc.pdf\n\n%PDF\n\n");
    auto reader = MailReader::open(mailDir() + "/M.mbox", MailDriver::shared().mailContext(),
                                   MailDriver::shared());
    ASSERT_TRUE(reader);
    reader->matrix().selectRow(0);
    reader->selectionDidChange();
    size_t icon = reader->text().plainText().find(kAttachmentChar);
    ASSERT_NE(icon, std::string::npos);
    const std::string file = attachments + "/doc.pdf";
    EXPECT_NE(::access(file.c_str(), F_OK), 0);
    EXPECT_EQ(reader->attachmentFileAt(0), "");
    EXPECT_EQ(reader->attachmentFileAt(icon), file);
    EXPECT_EQ(test::slurp(file), "%PDF\n");
    reader.reset();
    MailMessage::setDefaultAttachmentDirectory(std::nullopt);
}

}  // namespace
}  // namespace quill

namespace quill {
namespace {

// Compact, Transfer and Paste from the window, with the copy of "mbox" in
// the background as for a large mailbox.
class OrganizeTest : public MailReaderTest {
  protected:
    void TearDown() override {
        MailReader::setBackgroundCompactionSize(16ll << 20);
        MailReaderTest::TearDown();
    }
    void compactInBackground() {
        MailReader::setBackgroundCompactionSize(0);
        reader->compact();
        EXPECT_TRUE(reader->compacting());
        EXPECT_FALSE(reader->validateItem(MailReader::Command::NextMsg).enabled);
        runLoop().runUntil([&] { return !reader->compacting(); }, std::chrono::seconds(10));
    }
};

TEST_F(OrganizeTest, CompactionInTheBackgroundCanBeCancelled) {
    select({1, 2});
    reader->deleteMsg();
    std::string before = test::slurp(path + "/mbox");
    panels->cancelProgressAfter(0);
    compactInBackground();
    EXPECT_EQ(test::slurp(path + "/mbox"), before);
    EXPECT_EQ(reader->matrix().rowCount(), 2);

    compactInBackground();
    EXPECT_EQ(reader->mailbox().toc().length(), 2u);
    EXPECT_EQ(test::slurp(path + "/mbox"), message(0, "bob@y.org") + message(3, "ann@x.org"));
    EXPECT_THAT(view.status, ::testing::StartsWith("2 messages"));
}

TEST_F(OrganizeTest, TransferMovesTheSelectionAndPasteAddsAMessage) {
    panels->answer(0);
    reader->transferTo(mailDir() + "/Other.mbox");  // nothing selected
    ASSERT_EQ(panels->alerts().size(), 1u);
    EXPECT_EQ(panels->alerts()[0].message, "No messages selected for transfer.");
    select({0, 3});
    reader->transferTo(mailDir() + "/Other.mbox");
    EXPECT_EQ(test::slurp(mailDir() + "/Other.mbox/mbox"),
              message(0, "bob@y.org") + message(3, "ann@x.org"));
    EXPECT_EQ(reader->matrix().rowCount(), 2);
    EXPECT_TRUE(reader->mailbox().getStateForMsg(3).isDeleted());

    reader->pasteText("A pasted line");
    EXPECT_EQ(reader->mailbox().toc().length(), 5u);
    EXPECT_THAT(reader->matrix().getAll(), ElementsAre(1, 2, 4));
    // The records the rows were built from are not kept beside them.
    EXPECT_TRUE(reader->mailbox().toc().getMsgList().empty());
    EXPECT_EQ(view.scrolled, reader->matrix().rowCount() - 1);
}

}  // namespace
}  // namespace quill

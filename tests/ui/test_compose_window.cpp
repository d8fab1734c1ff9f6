// The compose window on the offscreen platform: a reply from a mailbox window
// with its fields and quoted text, typing that reaches the core, delivery
// through a fake mailer, attachments in the rich format, the close question,
// address completion, and screenshots for review.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QToolButton>
#include <QtTest>

#include "addressbook/Alias.h"
#include "app/MailDriver.h"
#include "message/MailMessage.h"
#include "message/MimeMessage.h"
#include "platform/RunLoop.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "process/ChildWatch.h"
#include "process/PosixProcessLauncher.h"
#include "richtext/TextView.h"
#include "settings/Defaults.h"
#include "ui/compose/ComposeTextEdit.h"
#include "ui/compose/ComposeWindow.h"
#include "ui/platform/QtRunLoop.h"

using quill::ComposeWindow;
using quill::MailReader;

namespace {

constexpr const char* kMailbox =
    "From ann@example.org Mon Mar  4 10:00:00 2024\n"
    "From: Ann <ann@example.org>\nTo: tester@example.org, Bob <bob@example.org>\n"
    "cc: carl@example.org\nSubject: Lunch plans\nDate: Mon, 4 Mar 2024 10:00:00 +0000\n"
    "Message-Id: <lunch@example.org>\n\n"
    "Shall we meet at the new place on the corner of the market square at half past twelve, "
    "or is that too early for you?\n\nAnn\n\n";

constexpr const char* kMailer =
    "#!/bin/sh\ncat > \"$(dirname \"$0\")/input.tmp\"\n"
    "mv \"$(dirname \"$0\")/input.tmp\" \"$(dirname \"$0\")/input\"\n";

void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void saveShot(QWidget* window, const char* name) {
    QDir().mkpath(QUILL_SCREENSHOT_DIR);
    QVERIFY(window->grab().save(QString(QUILL_SCREENSHOT_DIR) + "/" + name));
}

}  // namespace

class TestComposeWindow : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::shared_ptr<quill::ScriptedPanels> m_panels;
    quill::ChildWatch m_watch;
    std::shared_ptr<MailReader> m_reader;

    QString home() const { return m_dir.filePath("home"); }

    std::string text(ComposeWindow* window) { return window->send().text().plainText(); }

  private slots:
    void initTestCase() {
        qputenv("HOME", home().toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        quill::setCurrentUser({"tester", home().toStdString(), "Test User"});
        auto store = std::make_shared<quill::MemoryDefaultsStore>();
        quill::Defaults::shared().setStore(store);
        for (const auto& [key, value] : std::initializer_list<std::pair<const char*, QString>>{
                 {"MailDir", home() + "/Mail"},
                 {"Mailer", m_dir.filePath("mailer/sendmail")},
                 {"Alternates", "tester@example.org"},
                 {"ReplyToSelf", "NO"},
                 {"SendFormat", "MailMessage"},
                 {"ReadReceipt", "NO"},
                 {"ComposeStatusLine", "YES"},
                 {"UseSignatureFile", "NO"},
                 {"Debug", "NO"}})
            store->set(key, value.toStdString());
        m_panels = std::make_shared<quill::ScriptedPanels>();
        quill::installPanels(m_panels);
        quill::installRunLoop(std::make_shared<quill::QtRunLoop>());
        quill::installProcessLauncher(std::make_shared<quill::PosixProcessLauncher>(m_watch));
        m_watch.start();
        quill::MailMessage::registerMailClass(quill::MailMessage::mailClass());
        quill::registerMimeMessageClass();
        quill::Defaults::shared().setMessageClassNames({"MailMessage", "MimeMessage"});
        write(m_dir.filePath("people/passwd"), "joan:x\nJohn:x\njoseph:x\n");
        quill::AliasSources sources;
        sources.loadNIS = false;
        sources.peopleDir = m_dir.filePath("people").toStdString();
        sources.privateFile = m_dir.filePath("config/Quill/.mailalias").toStdString();
        quill::Alias::shared().forkedInitialize(sources);
        write(m_dir.filePath("mailer/sendmail"), kMailer);
        QFile::setPermissions(m_dir.filePath("mailer/sendmail"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        write(home() + "/Mail/Test.mbox/mbox", kMailbox);
        m_reader = std::shared_ptr<MailReader>(
            MailReader::open((home() + "/Mail/Test.mbox").toStdString(),
                             quill::MailDriver::shared().mailContext(), quill::MailDriver::shared())
                .release());
        QVERIFY(m_reader);
        m_reader->matrix().selectRow(0);
        m_reader->selectionDidChange();
    }

    void cleanupTestCase() {
        for (ComposeWindow* w : std::vector(ComposeWindow::openWindows())) delete w;
        m_reader.reset();
        m_watch.end();
    }

    void wrapAndReplyQuotesTypesAndDelivers() {
        ComposeWindow* window = ComposeWindow::perform(m_reader, MailReader::Command::WrapAndReply);
        QCOMPARE(window->field(quill::kFieldTo)->text(), QString("Ann <ann@example.org>"));
        QCOMPARE(window->field(quill::kFieldSubject)->text(), QString("Re: Lunch plans"));
        QCOMPARE(window->field(quill::kFieldCc)->text(), QString());
        QCOMPARE(window->send().getField(quill::kFieldReferences).value_or(""),
                 std::string("<lunch@example.org>"));
        const std::string quoted = text(window);
        QVERIFY2(quoted.starts_with("On Mar 04, 2024, Ann <ann@example.org> said:\n>Shall we"),
                 quoted.c_str());
        QCOMPARE(window->textEdit()->toPlainText().toStdString(), quoted);
        QCOMPARE(window->windowTitle(), QString("Compose - Re: Lunch plans[*]"));

        window->replyButton()->click();  // now Reply All: the copies come in
        QCOMPARE(window->field(quill::kFieldCc)->text(),
                 QString("Bob <bob@example.org>, carl@example.org"));
        window->replyButton()->click();
        QCOMPARE(window->field(quill::kFieldCc)->text(), QString());
        QTRY_COMPARE(window->sizeLabel()->text(), QString("%1 bytes").arg(text(window).size()));
        saveShot(window, "14b-reply.png");

        window->textEdit()->moveCursor(QTextCursor::Start);
        QTest::keyClicks(window->textEdit(), "Fine by me.");
        QTest::keyClick(window->textEdit(), Qt::Key_Return);
        QVERIFY(text(window).starts_with("Fine by me.\nOn Mar 04"));
        QVERIFY(window->send().editing());

        window->deliver();
        const QString input = m_dir.filePath("mailer/input");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(input), 10000);
        QFile sent(input);
        QVERIFY(sent.open(QIODevice::ReadOnly));
        const QByteArray bytes = sent.readAll();
        for (const char* part : {"Subject: Re: Lunch plans", "References: <lunch@example.org>",
                                 "Fine by me.\nOn Mar 04", "\n>Shall we meet"})
            QVERIFY2(bytes.contains(part), part);
    }

    // Ctrl+B over a selection, Ctrl+I for what is typed next.
    void styleKeysReachTheMessage(ComposeWindow* window) {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->textEdit(), Qt::Key_Home, Qt::ShiftModifier);
        QTest::keyClick(window->textEdit(), Qt::Key_B, Qt::ControlModifier);
        QTest::keyClick(window->textEdit(), Qt::Key_End);
        QTest::keyClick(window->textEdit(), Qt::Key_I, Qt::ControlModifier);
        QTest::keyClicks(window->textEdit(), ":");
        const quill::RichText& rich = window->send().text().richText();
        QVERIFY(rich.charFormatAt(0).traits & quill::kBoldTrait);
        QVERIFY(!(rich.charFormatAt(0).traits & quill::kItalicTrait));
        QVERIFY(rich.charFormatAt(13).traits & quill::kItalicTrait);
        QCOMPARE(text(window), std::string("Here they are:"));
    }

    void richWindowTakesAttachmentsAndAsksBeforeClosing() {
        ComposeWindow* window = ComposeWindow::perform(m_reader, MailReader::Command::NewMessage);
        window->field(quill::kFieldSubject)->setText("Slides");
        QTest::keyClicks(window->field(quill::kFieldSubject), " for Friday");
        QCOMPARE(window->send().getField(quill::kFieldSubject).value_or(""),
                 std::string("Slides for Friday"));
        window->cycleFormat();
        QVERIFY(window->send().sendFormat() != quill::kPlainFormat);
        QTest::keyClicks(window->textEdit(), "Here they are");
        styleKeysReachTheMessage(window);
        QTest::keyClick(window->textEdit(), Qt::Key_Return);
        const QString slides = m_dir.filePath("slides.pdf");
        write(slides, "%PDF-1.4\n");
        m_panels->queueOpenPanelAnswer({slides.toStdString()});
        window->addAttachment();
        QVERIFY(window->send().text().hasGraphics());
        QCOMPARE(window->textEdit()->toPlainText().size(), qsizetype(text(window).size()));
        QTest::keyClick(window->textEdit(), Qt::Key_Return);
        QTest::keyClicks(window->textEdit(), "See you.");
        QVERIFY(text(window).ends_with("\xAC\nSee you."));
        QTRY_COMPARE(window->deliverButton()->text(), QString("Special Delivery"));
        QTRY_COMPARE(window->sizeLabel()->text(), QString("%1 bytes").arg(text(window).size() + 9));
        window->resize(window->width(), 360);
        saveShot(window, "14b-compose-rich.png");

        m_panels->answer("Cancel");
        QVERIFY(!window->close());
        m_panels->answer("Don't Save");
        QVERIFY(window->close());
        QCOMPARE(m_panels->alerts().back().message,
                 std::string("Save draft entitled \"Slides for Friday\"?"));
    }

    void plainWindowCompletesAddressesAndClosesUntouched() {
        ComposeWindow* window = ComposeWindow::perform(nullptr, MailReader::Command::NewMessage);
        QLineEdit* to = window->field(quill::kFieldTo);
        QTest::keyClicks(to, "jo");
        QTest::keyClick(to, Qt::Key_Escape);
        QCOMPARE(to->text(), QString("joan"));
        QCOMPARE(to->selectedText(), QString("an"));
        QTest::keyClick(to, Qt::Key_Escape);
        QCOMPARE(to->text(), QString("John"));
        window->appendCc("ann@example.org");
        window->appendCc("bob@example.org");
        QCOMPARE(window->field(quill::kFieldCc)->text(),
                 QString("ann@example.org, bob@example.org"));
        window->field(quill::kFieldSubject)->setText("Notes");
        QTest::keyClicks(window->field(quill::kFieldSubject), " from Monday");
        QTest::keyClicks(window->textEdit(), "Plain text, fixed pitch.");
        saveShot(window, "14b-compose-plain.png");

        ComposeWindow* untouched = ComposeWindow::perform(nullptr, MailReader::Command::NewMessage);
        const size_t alerts = m_panels->alerts().size();
        QVERIFY(untouched->close());
        QCOMPARE(m_panels->alerts().size(), alerts);
    }
};

QTEST_MAIN(TestComposeWindow)
#include "test_compose_window.moc"

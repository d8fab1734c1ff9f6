// The mailbox window on a real mailbox, on the offscreen platform: rows, the
// shown message, commands from the menus, and a screenshot for review.
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeView>
#include <QtTest>

#include "message/MailMessage.h"
#include "message/MimeMessage.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "settings/Defaults.h"
#include "ui/reader/MailReaderWindow.h"
#include "ui/settings/PreferencesWindow.h"

using quill::MailReader;

namespace {

QByteArray sampleMailbox(int count) {
    QByteArray mbox;
    for (int i = 0; i < count; ++i) {
        mbox += QString(
                    "From sender%1@example.org Mon Mar  4 10:%2:00 2024\n"
                    "From: Sender %1 <sender%1@example.org>\nTo: tester@example.org\n"
                    "Subject: Status report %1\nDate: Mon, 4 Mar 2024 10:%2:00 +0000\n"
                    "Received: by relay.example.org\n\nHello,\n\nthis is report %1.\n\n")
                    .arg(i)
                    .arg(i % 60, 2, 10, QChar('0'))
                    .toUtf8();
    }
    // One message with an attachment, shown as an icon.
    mbox +=
        "From ann@example.org Tue Mar  5 09:00:00 2024\nFrom: Ann <ann@example.org>\n"
        "Subject: Slides attached\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=b1\n\n--b1\nContent-Type: text/plain\n\n"
        "Here are the slides.\n--b1\nContent-Type: application/pdf; name=slides.pdf\n"
        "Content-Transfer-Encoding: base64\n\nJVBERi0xLjQK\n--b1--\n\n";
    return mbox;
}

// Screenshots land in the build tree for review.
QString screenshot(const char* name) {
    QDir().mkpath(QUILL_SCREENSHOT_DIR);
    return QString(QUILL_SCREENSHOT_DIR) + "/" + name;
}

}  // namespace

class TestMailReaderWindow : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::shared_ptr<quill::ScriptedPanels> m_panels;

  private slots:
    void init() {
        QDir(m_dir.path()).mkpath("home/Mail/Test.mbox");
        quill::setCurrentUser({"tester", (m_dir.path() + "/home").toStdString(), "Test User"});
        quill::Defaults::shared().setStore(std::make_shared<quill::MemoryDefaultsStore>());
        m_panels = std::make_shared<quill::ScriptedPanels>();
        quill::installPanels(m_panels);
        quill::MailMessage::registerMailClass(quill::MailMessage::mailClass());
        quill::registerMimeMessageClass();
        QFile f(m_dir.path() + "/home/Mail/Test.mbox/mbox");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(sampleMailbox(30));
    }

    void showsRowsAndTheSelectedMessage() {
        auto reader = std::shared_ptr<MailReader>(
            MailReader::open((m_dir.path() + "/home/Mail/Test.mbox").toStdString()).release());
        QVERIFY(reader);
        auto* window = new quill::MailReaderWindow(reader);
        window->show();
        QCOMPARE(window->listView()->model()->rowCount(), 31);
        QCOMPARE(window->windowTitle(), QString("Test.mbox"));

        window->listView()->setCurrentIndex(window->listView()->model()->index(3, 0));
        QCOMPARE(reader->curMsg(), 3);
        QVERIFY(window->textView()->toPlainText().contains("this is report 3."));
        QVERIFY(!window->textView()->toPlainText().contains("Received:"));

        window->action(MailReader::Command::DeleteOne)->trigger();
        QCOMPARE(window->listView()->model()->rowCount(), 30);
        QCOMPARE(reader->curMsg(), 4);
        QVERIFY(window->textView()->toPlainText().contains("this is report 4."));
        auto* status = window->statusBar()->findChild<QLabel*>();
        QVERIFY(status->text().startsWith("31 messages"));
        QVERIFY(status->text().contains("1 deleted"));

        window->validateActions();
        QCOMPARE(window->action(MailReader::Command::ToggleShowingAllHeaders)->text(),
                 QString("Show All Headers"));
        QVERIFY(window->grab().save(screenshot("mail_reader_window.png")));
        window->listView()->setCurrentIndex(window->listView()->model()->index(29, 0));
        QVERIFY(window->textView()->toPlainText().contains("Here are the slides."));
        QVERIFY(
            window->textView()->toPlainText().contains(QChar(QChar::ObjectReplacementCharacter)));
        QVERIFY(window->grab().save(screenshot("mail_reader_attachment.png")));

        // Printing the selected messages to PDF.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        QString pdf = m_dir.filePath("print.pdf");
        printer.setOutputFileName(pdf);
        window->printTo(printer, MailReader::kPrintMessages);
        QFile out(pdf);
        QVERIFY(out.open(QIODevice::ReadOnly));
        QVERIFY(out.size() > 1000);
        QCOMPARE(out.read(4), QByteArray("%PDF"));
        window->close();
    }

    void preferencesWindowWarnsAboutANonNumericField() {
        auto* prefs = new quill::PreferencesWindow;
        prefs->show();
        m_panels->answer(0);
        prefs->lineEdit("PollTime")->setText("soon");
        emit prefs->lineEdit("PollTime")->editingFinished();
        QCOMPARE(prefs->lineEdit("PollTime")->text(), QString("0"));
        QCOMPARE(m_panels->alerts().size(), size_t(1));
        QVERIFY(prefs->grab().save(screenshot("preferences_window.png")));
        prefs->revert();
        prefs->close();
    }
};

QTEST_MAIN(TestMailReaderWindow)
#include "test_mail_reader_window.moc"

// External bodies as the user meets them: the question asked before one is
// fetched, the login panel, and a double-click on an external-body icon in a
// shown message that runs the whole way to the request (the fetch itself,
// from a real server, is covered below the window).
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include "ReaderWindows.h"
#include "app/ApplicationWorkspace.h"
#include "app/MailDriver.h"
#include "app/MimeFetcher.h"
#include "message/MailMessage.h"
#include "message/MimeMessage.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "platform/Workspace.h"
#include "reader/MailReader.h"
#include "settings/Defaults.h"
#include "ui/app/LoginPanelDialog.h"
#include "ui/platform/QtPanels.h"
#include "ui/reader/MailReaderWindow.h"
#include "ui/reader/MessageListView.h"

namespace {

QString screenshot(const char* name) {
    QDir().mkpath(QUILL_SCREENSHOT_DIR);
    return QString(QUILL_SCREENSHOT_DIR) + "/" + name;
}

void writeFile(const QString& path, const QByteArray& bytes, bool executable = false) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    if (executable) f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The desktop: keeps what it was asked to open.
struct RecordingDesktop : quill::Workspace {
    QStringList opened;
    bool openFile(const std::string& path) override {
        opened << QString::fromStdString(path);
        return true;
    }
};

// A message with two external bodies: a local file and a mail-server request.
QByteArray externalBodyMessage(const QString& localFile) {
    return QString(
               "From ann@example.org Tue Mar  5 09:00:00 2024\nFrom: Ann <ann@example.org>\n"
               "Subject: Where the data is\nMIME-Version: 1.0\n"
               "Content-Type: multipart/mixed; boundary=b1\n\n--b1\nContent-Type: text/plain\n\n"
               "Two ways to the data.\n"
               "--b1\nContent-Type: message/external-body; access-type=local-file; name=\"%1\"\n\n"
               "Content-Type: text/plain\n\n"
               "--b1\nContent-Type: message/external-body; access-type=mail-server; "
               "server=\"archive@example.org\"; subject=\"send data\"\n\n"
               "Content-Type: text/plain\n\nget data.txt\n"
               "--b1--\n\n")
        .arg(localFile)
        .toUtf8();
}

// The centre of the nth attachment icon of the shown text.
QPoint iconCentre(QTextBrowser* text, int nth) {
    QString plain = text->toPlainText();
    int at = -1;
    for (int i = 0; i <= nth; ++i)
        at = plain.indexOf(QChar(QChar::ObjectReplacementCharacter), at + 1);
    QTextCursor cursor(text->document());
    cursor.setPosition(at);
    QRect before = text->cursorRect(cursor);
    cursor.setPosition(at + 1);
    QRect after = text->cursorRect(cursor);
    return QPoint((before.left() + after.left()) / 2, after.center().y());
}

}  // namespace

class TestExternalBody : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    void init() {
        quill::setCurrentUser({"tester", (m_dir.path() + "/home").toStdString(), "Test User"});
    }

    void theQuestionNamesTheWayAndTheSize() {
        quill::installPanels(std::make_shared<quill::QtPanels>());
        QString part = m_dir.path() + "/part";
        writeFile(part,
                  "Content-Type: message/external-body; access-type=anon-ftp; "
                  "site=ftp.example.org; name=report.ps; size=250000\n\n"
                  "Content-Type: application/postscript\n\n");
        QString shown;
        QTimer::singleShot(100, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            shown = box->text();
            box->grab().save(screenshot("external_body_question.png"));
            for (QAbstractButton* button : box->buttons())
                if (button->text() == "Cancel") button->click();
        });
        quill::MimeFetcher fetcher(quill::processLauncher(), m_dir.path().toStdString());
        QVERIFY(!fetcher.openExternalBodyForFile(part.toStdString()));
        QCOMPARE(shown, QString("This is an external MIME attachment that has to be retrieved "
                                "over the network.  Would you like to get it now?  Its size is "
                                "245KB."));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"part"});
    }

    // The panel asks once per site until Quill quits; Cancel gives no login.
    void theLoginPanelAsksOncePerSite() {
        quill::MimeFetcher fetcher(quill::processLauncher(), m_dir.path().toStdString());
        fetcher.setLoginPanel(quill::LoginPanelDialog::run);
        int shown = 0;
        QString host, user;
        bool hidden = false;
        auto answer = [&](bool ok, const char* picture) {
            QTimer::singleShot(100, [&, ok, picture] {
                auto* panel =
                    qobject_cast<quill::LoginPanelDialog*>(QApplication::activeModalWidget());
                if (!panel) return;
                ++shown;
                host = panel->hostField()->text();
                user = panel->userField()->selectedText();
                hidden = panel->passField()->echoMode() == QLineEdit::Password;
                panel->userField()->setText("ann");
                panel->passField()->setText("s3cret");
                if (picture) panel->grab().save(screenshot(picture));
                ok ? panel->accept() : panel->reject();
            });
        };
        answer(true, "external_body_login.png");
        QCOMPARE(fetcher.credentialsFor("ftp.example.org"),
                 std::optional<std::string>("ann s3cret"));
        QCOMPARE(host, QString("Log in to ftp.example.org"));
        QCOMPARE(user, QString("tester"));
        QVERIFY(hidden);
        QCOMPARE(fetcher.credentialsFor("ftp.example.org"),
                 std::optional<std::string>("ann s3cret"));
        QCOMPARE(shown, 1);
        answer(false, nullptr);
        QCOMPARE(fetcher.credentialsFor("other.example.org"), std::nullopt);
        QCOMPARE(shown, 2);
    }

    // A double-click on an external-body icon opens it as the application
    // does: the local file at once, the mail-server one through the fetcher.
    void aDoubleClickOnTheIconFetches() {
        const QString home = m_dir.path() + "/home";
        QDir(home).mkpath("Mail/Test.mbox");
        QDir(m_dir.path()).mkpath("tmp");
        writeFile(m_dir.path() + "/data.txt", "local bytes\n");
        writeFile(home + "/Mail/Test.mbox/mbox", externalBodyMessage(m_dir.path() + "/data.txt"));
        writeFile(m_dir.path() + "/sendmail",
                  "#!/bin/sh\ndir=$(dirname \"$0\")\ncat > \"$dir/request\"\n"
                  "printf '%s\\n' \"$@\" > \"$dir/args.tmp\"\nmv \"$dir/args.tmp\" \"$dir/args\"\n",
                  true);

        quill::Defaults::shared().setStore(std::make_shared<quill::MemoryDefaultsStore>());
        quill::Defaults::shared().setMailer((m_dir.path() + "/sendmail").toStdString());
        auto panels = std::make_shared<quill::ScriptedPanels>();
        quill::installPanels(panels);
        quill::MailMessage::registerMailClass(quill::MailMessage::mailClass());
        quill::registerMimeMessageClass();
        quill::MailDriver& driver = quill::MailDriver::shared();
        driver.reset();
        driver.setTemporaryRoot((m_dir.path() + "/tmp").toStdString());
        QVERIFY(driver.startUp());
        quill::MailMessage::setDefaultAttachmentDirectory(driver.tempDir());
        quill::MailReader::setAttachmentRoot(driver.tempDir());
        auto desktop = std::make_shared<RecordingDesktop>();
        quill::installWorkspace(std::make_shared<quill::ApplicationWorkspace>(
            desktop, [&driver](const std::string& path) { return driver.openFile(path); }));

        auto* window = quill::openReaderWindow(home + "/Mail/Test.mbox");
        QVERIFY(window);
        window->listView()->setCurrentIndex(window->listView()->model()->index(0, 0));
        QTextBrowser* text = window->textView();
        QCOMPARE(text->toPlainText().count(QChar(QChar::ObjectReplacementCharacter)), 2);
        QVERIFY(window->grab().save(screenshot("external_body_message.png")));
        auto doubleClick = [&](int icon) {
            QTest::mouseDClick(text->viewport(), Qt::LeftButton, {}, iconCentre(text, icon));
        };

        doubleClick(0);
        QCOMPARE(desktop->opened.size(), 1);
        QCOMPARE(readFile(desktop->opened[0]), QByteArray("local bytes\n"));
        QVERIFY(panels->alerts().empty());

        panels->answer("OK");
        panels->answer("OK");
        doubleClick(1);
        QCOMPARE(panels->alerts().size(), size_t(2));
        QCOMPARE(QString::fromStdString(panels->alerts()[0].message),
                 QString("This is an external MIME attachment that has to be retrieved by mail.  "
                         "Would you like to get it now?  "));
        QCOMPARE(QString::fromStdString(panels->alerts()[1].message),
                 QString("A request for the document has been sent to archive@example.org.  It "
                         "will shortly be returned to you by mail."));
        QTRY_COMPARE(readFile(m_dir.path() + "/args"),
                     QByteArray("-oi\n-odb\narchive@example.org\n"));
        // The line end before a boundary belongs to the boundary.
        QCOMPARE(readFile(m_dir.path() + "/request"),
                 QByteArray("Subject: send data\nContent-Type: text/plain\n\nget data.txt"));
        QCOMPARE(desktop->opened.size(), 1);
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(TestExternalBody)
#include "test_external_body.moc"

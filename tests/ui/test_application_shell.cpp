// The application's windowing side: a mailbox refused at launch leaves Quill
// running with a window to go on from, and windows open centred on screen.
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "app/MailDriver.h"
#include "message/MailMessage.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "settings/Defaults.h"
#include "ui/app/LauncherWindow.h"
#include "ui/app/QtApplicationShell.h"
#include "ui/browser/MailboxBrowserWindow.h"

class TestApplicationShell : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    void cancellingTheLockQuestionLeavesALauncher() {
        QString mail = m_dir.path() + "/home/Mail";
        QDir().mkpath(mail + "/Active.mbox");
        QFile lock(mail + "/Active.mbox/.lock");
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("elsewhere.example.org,someone,4242");
        lock.close();
        quill::setCurrentUser({"tester", (m_dir.path() + "/home").toStdString(), "Test User"});
        quill::Defaults::shared().setStore(std::make_shared<quill::MemoryDefaultsStore>());
        quill::Defaults::shared().setMailDir(mail.toStdString());
        auto panels = std::make_shared<quill::ScriptedPanels>();
        quill::installPanels(panels);
        panels->answer("Cancel");

        quill::QtApplicationShell shell(quill::processLauncher());
        quill::MailDriver& driver = quill::MailDriver::shared();
        driver.setShell(&shell);
        QVERIFY(driver.checkMailDirectory());
        driver.applicationDidFinishLaunching();
        QCOMPARE(panels->alerts().size(), size_t(1));
        QVERIFY(driver.activeMailboxWindow() == nullptr);

        quill::LauncherWindow* launcher = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* l = qobject_cast<quill::LauncherWindow*>(w)) launcher = l;
        }
        QVERIFY(launcher && launcher->isVisible());
        QCOMPARE(launcher->findChildren<QPushButton*>().size(), qsizetype(5));
        // Its Mailboxes button opens the mailbox browser.
        for (QPushButton* b : launcher->findChildren<QPushButton*>())
            if (b->text() == "Mailboxes") b->click();
        bool browser = false;
        for (QWidget* w : QApplication::topLevelWidgets())
            browser |= qobject_cast<quill::MailboxBrowserWindow*>(w) && w->isVisible();
        QVERIFY(browser);
        QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(launcher->geometry()));
        QCOMPARE(launcher->geometry().center().x(), screen.center().x());
        QDir().mkpath(QUILL_SCREENSHOT_DIR);
        QVERIFY(launcher->grab().save(QString(QUILL_SCREENSHOT_DIR) + "/launcher_window.png"));
        launcher->close();
        driver.reset();
    }
};

QTEST_MAIN(TestApplicationShell)
#include "test_application_shell.moc"

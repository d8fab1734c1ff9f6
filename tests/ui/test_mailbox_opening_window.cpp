// A mailbox whose index must be rebuilt, opened as the application does: its
// window shows at once with the rebuild's progress while events go on, the
// same mailbox opened again brings that window forward, Cancel leaves the
// mailbox unopened and unchanged, and a finished rebuild puts the filled
// mailbox window in its place.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "IsolatedHome.h"
#include "app/MailDriver.h"
#include "platform/RunLoop.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "reader/MailboxOpening.h"
#include "settings/Defaults.h"
#include "ui/app/QtApplicationShell.h"
#include "ui/browser/QtMailboxBrowserHost.h"
#include "ui/platform/QtRunLoop.h"
#include "ui/reader/MailReaderWindow.h"
#include "ui/reader/MailboxOpeningWindow.h"
#include "ui/reader/MessageListView.h"

using quill::MailboxOpening;
using quill::MailboxOpeningWindow;
using quill::MailReaderWindow;
using quill::writeAll;

namespace {

constexpr int kMessages = 400;
// Over a megabyte: rebuilt on the worker unslowed.
constexpr int kLargeMessages = 12000;

QByteArray mailboxText(int count = kMessages) {
    QByteArray mbox;
    for (int i = 0; i < count; ++i) {
        mbox += QString(
                    "From sender%1@example.org Mon Mar  4 10:00:00 2024\n"
                    "From: Sender %1 <sender%1@example.org>\nSubject: Report %1\n\n"
                    "report %1\n\n")
                    .arg(i)
                    .toUtf8();
    }
    return mbox;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

template <typename W>
QList<W*> shownWindows() {
    QList<W*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<W*>(w); window && window->isVisible()) found << window;
    }
    return found;
}

}  // namespace

class TestMailboxOpeningWindow : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::shared_ptr<quill::ScriptedPanels> m_panels;
    std::unique_ptr<quill::QtApplicationShell> m_shell;
    QString m_box;

    // A HOME with nothing but the default mail directory's active mailbox,
    // its "mbox" without an index, and default settings.
    // Starts the application on a fresh HOME with each scan step slowed;
    // the one window showing the rebuild, or null.
    MailboxOpeningWindow* launch(const QString& name, std::chrono::microseconds slowed) {
        m_box = prepareHome(name);
        MailboxOpening::slowScanForTesting(slowed);
        quill::MailDriver& driver = quill::MailDriver::shared();
        if (!driver.checkMailDirectory()) return nullptr;
        driver.applicationDidFinishLaunching();
        auto pending = shownWindows<MailboxOpeningWindow>();
        return pending.size() == 1 ? pending.front() : nullptr;
    }
    QString prepareHome(const QString& name) {
        QString home = m_dir.path() + "/" + name;
        quill::setCurrentUser({"tester", home.toStdString(), "Test User"});
        quill::Defaults::shared().setStore(std::make_shared<quill::MemoryDefaultsStore>());
        QString box =
            QString::fromStdString(quill::Defaults::shared().mailDirectory()) + "/Active.mbox";
        writeAll(box + "/mbox", mailboxText());
        m_panels = std::make_shared<quill::ScriptedPanels>();
        quill::installPanels(m_panels);
        m_shell = std::make_unique<quill::QtApplicationShell>(quill::processLauncher());
        quill::MailDriver::shared().setShell(m_shell.get());
        return box;
    }
    void finish() {
        for (QWidget* w : QApplication::topLevelWidgets()) w->close();
        QTest::qWait(20);
        quill::MailDriver::shared().reset();
        m_shell.reset();
        MailboxOpening::slowScanForTesting(std::chrono::microseconds(0));
    }

  private slots:
    void initTestCase() { quill::installRunLoop(std::make_shared<quill::QtRunLoop>()); }

    void theWindowShowsTheRebuildAndCancelLeavesTheMailboxAsItWas() {
        MailboxOpeningWindow* window = launch("cancel", std::chrono::milliseconds(5));
        QVERIFY(window);
        const QString box = m_box;
        QByteArray mbox = contents(box + "/mbox");
        quill::MailDriver& driver = quill::MailDriver::shared();
        QCOMPARE(window->windowTitle(), QString("Active.mbox"));
        QVERIFY(shownWindows<MailReaderWindow>().isEmpty());
        QVERIFY(QFile::exists(box + "/.lock"));

        // Events go on while the scan runs: timers fire, the window resizes.
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);
        window->resize(640, 420);
        QTRY_VERIFY(window->progressBar()->value() > 0);
        QVERIFY(ticks > 2);
        QCOMPARE(window->size(), QSize(640, 420));
        QCOMPARE(window->opening().state(), MailboxOpening::State::Rebuilding);

        // Opening it again, from a file or the mailbox browser, finds the window being opened.
        QVERIFY(driver.openFile(box.toStdString()));
        QVERIFY(quill::QtMailboxBrowserHost().openMailbox(box.toStdString()));
        QCOMPARE(shownWindows<MailboxOpeningWindow>().size(), qsizetype(1));
        QVERIFY(driver.activeMailboxWindow() == &window->opening());

        QDir().mkpath(QUILL_SCREENSHOT_DIR);
        QVERIFY(window->grab().save(QString(QUILL_SCREENSHOT_DIR) + "/mailbox_opening.png"));

        QPointer<MailboxOpeningWindow> watched = window;
        window->cancelButton()->click();
        QTRY_VERIFY(!watched);
        QVERIFY(shownWindows<MailReaderWindow>().isEmpty());
        QVERIFY(driver.activeMailboxWindow() == nullptr);
        QVERIFY(!QFile::exists(box + "/.lock"));
        QVERIFY(!QFile::exists(box + "/table_of_contents"));
        QCOMPARE(contents(box + "/mbox"), mbox);
        QVERIFY(m_panels->alerts().empty());
        finish();
    }

    void aFinishedRebuildPutsTheFilledListInTheWindowsPlace() {
        MailboxOpeningWindow* window = launch("complete", std::chrono::microseconds(500));
        QVERIFY(window);
        window->setGeometry(120, 90, 700, 520);
        QRect placed = window->geometry();

        QTRY_VERIFY_WITH_TIMEOUT(!shownWindows<MailReaderWindow>().isEmpty(), 20000);
        QVERIFY(shownWindows<MailboxOpeningWindow>().isEmpty());
        MailReaderWindow* reader = shownWindows<MailReaderWindow>().front();
        QCOMPARE(reader->listView()->model()->rowCount(), kMessages);
        QCOMPARE(reader->geometry(), placed);
        QVERIFY(quill::MailDriver::shared().activeMailboxWindow() == &reader->reader());
        QVERIFY(m_panels->alerts().empty());
        QVERIFY(contents(m_box + "/table_of_contents").size() > 32);

        // Closing the window now goes the ordinary way.
        reader->close();
        QTRY_VERIFY(!QFile::exists(m_box + "/.lock"));
        finish();
    }

    void closingTheWindowStopsTheScanAndUnlocks() {
        MailboxOpeningWindow* window = launch("close", std::chrono::milliseconds(5));
        QVERIFY(window);
        QTRY_VERIFY(window->progressBar()->value() > 0);
        window->close();
        QVERIFY(!QFile::exists(m_box + "/.lock"));
        QVERIFY(quill::MailDriver::shared().activeMailboxWindow() == nullptr);
        QTest::qWait(120);
        QVERIFY(shownWindows<MailReaderWindow>().isEmpty());
        finish();
    }

    // The program itself, started on a HOME holding only a large active
    // mailbox without an index in the default mail directory: the window
    // showing the rebuild paints before the filled list does.
    void theProgramShowsTheRebuildBeforeTheList() {
        QTemporaryDir root;
        const QString home = root.filePath("home");
        quill::setCurrentUser({"tester", home.toStdString(), "Test User"});
        quill::Defaults::shared().setStore(std::make_shared<quill::MemoryDefaultsStore>());
        const QString box =
            QString::fromStdString(quill::Defaults::shared().mailDirectory()) + "/Active.mbox";
        QVERIFY(writeAll(box + "/mbox", mailboxText(kLargeMessages)));
        QProcessEnvironment env = quill::isolatedEnvironment(root.path(), 3600);
        QProcess quill;
        quill.setProcessEnvironment(env);
        quill.setWorkingDirectory(home);
        quill.start(QUILL_BIN_DIR "/Quill", {"--measure-startup"});
        QVERIFY(quill.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(quill.readAllStandardOutput());
        qsizetype shown = out.indexOf("ms to the window showing the index rebuild");
        qsizetype listed = out.indexOf(
            QString("ms to the first painted message list (%1 messages)").arg(kLargeMessages));
        QVERIFY2(shown >= 0 && listed > shown, qPrintable(out));
        QVERIFY(contents(box + "/table_of_contents").size() > 32);
        QVERIFY(!QFile::exists(box + "/.lock"));
    }
};

QTEST_MAIN(TestMailboxOpeningWindow)
#include "test_mailbox_opening_window.moc"

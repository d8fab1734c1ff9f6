// The mailbox browser panel and the find panel on the offscreen platform:
// columns and buttons of the browser, a Find All run from the panel over a
// mailbox window's list, and screenshots of both for review.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "ReaderWindows.h"
#include "app/MailDriver.h"
#include "browser/MailboxBrowserHost.h"
#include "message/MimeMessage.h"
#include "platform/Panels.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "reader/MailReader.h"
#include "settings/Defaults.h"
#include "settings/DefaultsStore.h"
#include "ui/browser/MailboxBrowserWindow.h"
#include "ui/reader/FindPanel.h"
#include "ui/reader/ListFindRunner.h"
#include "ui/reader/MailReaderWindow.h"
#include "ui/reader/MessageListView.h"

namespace {

struct Host : quill::MailboxBrowserHost {
    bool openMailbox(const std::string& path) override {
        opened = path;
        return true;
    }
    bool isActiveMailbox(const std::string&) const override { return false; }
    void checkNewMailQuietly() override {}
    void closeMailboxWindow(const std::string&) override {}
    bool hasSourceWindow() const override { return true; }
    bool transferSelectionTo(const std::string&) override { return false; }
    void deleteTransferred() override {}
    std::string opened;
};

QByteArray mailbox(int count) {
    const char* subjects[] = {"Budget review", "Kernel patch", "Lunch", "Printer down"};
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        out += QString(
                   "From a%1@example.org Mon Mar  4 10:00:00 2024\nFrom: Person %1 "
                   "<a%1@example.org>\nSubject: %2\nDate: Mon, 4 Mar 2024 10:00:00 +0000\n\n"
                   "Body %1 about the %2.\n\n")
                   .arg(i)
                   .arg(subjects[i % 4])
                   .toLatin1();
    }
    return out;
}

QStringList rows(QListView* view) {
    QStringList out;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        out << view->model()->index(r, 0).data().toString();
    return out;
}

void shoot(QWidget& widget, const QString& name) {
    QDir().mkpath(QUILL_SCREENSHOT_DIR);
    QVERIFY(widget.grab().save(QString(QUILL_SCREENSHOT_DIR) + "/" + name));
}

}  // namespace

class TestMailboxBrowserAndFind : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString mail() const { return m_dir.path() + "/home/Mail"; }

  private slots:
    void initTestCase() {
        for (const char* d : {"Inbox.mbox", "Drafts.mbox", "Work/Projects.mbox", "Work/Budget.mbox",
                              "Work/2023/Old.mbox", "_misc.mbox"})
            QVERIFY(QDir().mkpath(mail() + "/" + d));
        quill::setCurrentUser({"tester", (m_dir.path() + "/home").toStdString(), "Test User"});
        quill::Defaults::shared().setStore(std::make_shared<quill::MemoryDefaultsStore>());
        quill::installPanels(std::make_shared<quill::ScriptedPanels>());
        quill::MailMessage::registerMailClass(quill::MailMessage::mailClass());
        quill::registerMimeMessageClass();
        QFile f(mail() + "/Inbox.mbox/mbox");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(mailbox(40));
    }

    void browserShowsColumnsAndButtons() {
        Host host;
        quill::MailboxBrowserWindow window(mail().toStdString(), host);
        window.showPanel();
        QCOMPARE(window.windowTitle(), QString("Mailboxes"));
        QCOMPARE(rows(window.column(0)), QStringList({"Drafts", "Inbox", "Work", "_misc"}));
        window.column(0)->clicked(window.column(0)->model()->index(2, 0));
        QCOMPARE(rows(window.column(1)), QStringList({"Budget", "Projects", "2023"}));
        window.column(1)->clicked(window.column(1)->model()->index(0, 0));
        QVERIFY(window.button("Open")->isEnabled());
        QTest::keyClicks(window.nameField(), "Budget.mbox");
        QVERIFY(!window.button("New Mailbox")->isEnabled());
        window.nameField()->clear();
        QTest::keyClicks(window.nameField(), "Pro");
        QCOMPARE(window.browser().stringValue(), std::string("Projects.mbox"));
        QVERIFY(window.button("New Folder")->isEnabled());
        window.button("Open")->click();
        QCOMPARE(host.opened, (mail() + "/Work/Projects.mbox").toStdString());
        shoot(window, "16b-browser.png");
    }

    void findAllFromThePanelSelectsTheMatches() {
        quill::Defaults::shared().setFoundDisplayDelay(-1);
        quill::MailReaderWindow* window = quill::openReaderWindow(mail() + "/Inbox.mbox");
        QVERIFY(window);
        window->action(quill::MailReader::Command::Find)->trigger();
        quill::FindPanel& panel = quill::FindPanel::shared();
        QVERIFY(panel.isVisible());
        panel.setFindText("printer");
        panel.findChildren<QRadioButton*>().at(1)->setChecked(true);  // "Messages"
        panel.findAll();
        QTRY_VERIFY(!window->finder()->running());
        QCOMPARE(panel.errorMsg(), QString("10 found"));
        QCOMPARE(window->listView()->selectionModel()->selectedRows().size(), 10);
        QVERIFY(!panel.stopButton()->isVisible());
        shoot(panel, "16b-find.png");
        panel.setFindText("nowhere");
        panel.performFind();
        QTRY_VERIFY(!window->finder()->running());
        QCOMPARE(panel.errorMsg(), QString("Not found"));
        panel.hide();
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(TestMailboxBrowserAndFind)
#include "test_mailbox_browser_and_find.moc"

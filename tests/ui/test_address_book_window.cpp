// The address-book window on the offscreen platform: waiting for the book,
// the three columns, the name field and buttons, and screenshots for review.
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "addressbook/ComposeAddressTarget.h"
#include "platform/Panels.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "ui/addressbook/AddressBookWindow.h"

using quill::AddressBookBrowser;

namespace {

void write(const QString& path, const std::string& text) {
    QDir().mkpath(QFileInfo(path).path());
    std::ofstream(path.toStdString()) << text;
}

QStringList rows(QListView* view) {
    QStringList out;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        out << view->model()->index(r, 0).data().toString();
    return out;
}

struct Compose : quill::ComposeAddressTarget {
    QStringList to;
    void appendTo(const std::string& name) override { to << QString::fromStdString(name); }
    void appendCc(const std::string&) override {}
};

}  // namespace

class TestAddressBookWindow : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        quill::setCurrentUser({"tester", m_dir.path().toStdString(), "Test User"});
        m_panels = std::make_shared<quill::ScriptedPanels>();
        quill::installPanels(m_panels);
        QString people = m_dir.filePath("people");
        write(people + "/aliases",
              "staff: ann, bob, carl\nnick: ann\nfriends: joan,John,joseph\nbuddy: bob\n");
        write(people + "/passwd", "ann:x\nbob:x\ncarl:x\njoan:x\nJohn:x\njoseph:x\nmary:x\n");
        write(m_dir.filePath("Quill/.mailalias"),
              "Private Users:Ann Example <ann@example.org>,zed@example.net\n"
              "team:staff,me@example.com\n");
        quill::AliasSources sources;
        sources.loadNIS = false;
        sources.peopleDir = people.toStdString();
        sources.privateFile = m_dir.filePath("Quill/.mailalias").toStdString();
        m_alias.forkedInitialize(sources);
    }

    void showsTheColumnsOnceLoaded() {
        quill::AddressBookWindow window(m_alias);
        window.show();
        QTRY_VERIFY(window.browser());
        QCOMPARE(rows(window.column(0)), (QStringList{"Users", "Groups", "Login Names",
                                                      "Private Users", "Private Groups"}));
        clickRow(window, 0, 1);
        QCOMPARE(rows(window.column(1)), (QStringList{"friends", "staff"}));
        clickRow(window, 1, 1);
        QCOMPARE(rows(window.column(2)), (QStringList{"ann", "bob", "carl"}));
        saveShot(window, "address_book_window.png");
    }

    void typingSelectsAndButtonsAct() {
        quill::AddressBookWindow window(m_alias);
        window.show();
        QTRY_VERIFY(window.browser());
        clickRow(window, 0, 2);
        QTest::keyClicks(window.nameField(), "jos");
        QCOMPARE(window.column(1)->currentIndex().row(), 5);
        Compose compose;
        quill::ComposeAddressTarget::setFrontmostSource([&] { return &compose; });
        window.button("To")->click();
        quill::ComposeAddressTarget::setFrontmostSource(nullptr);
        QCOMPARE(compose.to, QStringList{"joseph"});

        clickRow(window, 0, 3);
        window.nameField()->setText("Bea <bea@example.org>");
        window.button("Add")->click();
        QCOMPARE(rows(window.column(1)), (QStringList{"Ann Example <ann@example.org>",
                                                      "Bea <bea@example.org>", "zed@example.net"}));
        QCOMPARE(window.column(1)->currentIndex().row(), 1);
        saveShot(window, "address_book_private_users.png");
        QCOMPARE(int(m_panels->alerts().size()), 0);
    }

  private:
    void clickRow(quill::AddressBookWindow& window, int column, int row) {
        QListView* view = window.column(column);
        QRect rect = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }
    void saveShot(QWidget& window, const char* name) {
        QDir().mkpath(QUILL_SCREENSHOT_DIR);
        QVERIFY(window.grab().save(QString(QUILL_SCREENSHOT_DIR) + "/" + name));
    }

    QTemporaryDir m_dir;
    quill::Alias m_alias;
    std::shared_ptr<quill::ScriptedPanels> m_panels;
};

QTEST_MAIN(TestAddressBookWindow)
#include "test_address_book_window.moc"

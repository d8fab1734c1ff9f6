// The mailbox window on a real mailbox, on the offscreen platform: rows, the
// shown message, commands from the menus, and a screenshot for review.
#include <QAction>
#include <QDir>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextFrame>
#include <QtTest>

#include "ReaderWindows.h"
#include "app/MailDriver.h"
#include "message/MailMessage.h"
#include "message/MimeMessage.h"
#include "platform/ScriptedPanels.h"
#include "platform/UserInfo.h"
#include "reader/ReaderCommandTable.h"
#include "settings/Defaults.h"
#include "settings/PreferenceKeyTable.h"
#include "ui/reader/MailReaderWindow.h"
#include "ui/reader/MessageListView.h"
#include "ui/platform/QtRunLoop.h"
#include "ui/reader/TocMatrixModel.h"
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
                    "Received: by relay.example.org\n%3\nHello,\n\nthis is report %1.\n\n")
                    .arg(i)
                    .arg(i % 60, 2, 10, QChar('0'))
                    .arg(i == 2 ? "X-Priority: 3 (Normal)\n" : "")
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

    quill::MailReaderWindow* openWindow() {
        return quill::openReaderWindow(m_dir.path() + "/home/Mail/Test.mbox");
    }
    // Closes the window and lets it go, which unlocks its mailbox.
    static void closeAndDelete(QWidget* window) {
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

  private slots:
    // Delayed calls (the message keys stop on) run in Qt's loop, as in the application.
    void initTestCase() { quill::installRunLoop(std::make_shared<quill::QtRunLoop>()); }

    void init() {
        QDir(m_dir.path()).mkpath("home/Mail/Test.mbox");
        quill::setCurrentUser({"tester", (m_dir.path() + "/home").toStdString(), "Test User"});
        quill::Defaults::shared().setStore(std::make_shared<quill::MemoryDefaultsStore>());
        m_panels = std::make_shared<quill::ScriptedPanels>();
        quill::installPanels(m_panels);
        quill::MailMessage::registerMailClass(quill::MailMessage::mailClass());
        quill::registerMimeMessageClass();
        QFile::remove(m_dir.path() + "/home/Mail/Test.mbox/table_of_contents");
        QFile f(m_dir.path() + "/home/Mail/Test.mbox/mbox");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(sampleMailbox(30));
    }

    void showsRowsAndTheSelectedMessage() {
        auto* window = openWindow();
        QVERIFY(window);
        MailReader* reader = &window->reader();
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
        window->printTo(printer, quill::PrintScope::Messages);
        QFile out(pdf);
        QVERIFY(out.open(QIODevice::ReadOnly));
        QVERIFY(out.size() > 1000);
        QCOMPARE(out.read(4), QByteArray("%PDF"));
        closeAndDelete(window);
    }

    // Every menu item shows what the core decides, with its key.
    void menusFollowTheCommandTable() {
        quill::Defaults::shared().setPriorityHeader("X-Priority");
        auto* window = openWindow();
        window->listView()->setCurrentIndex(window->listView()->model()->index(0, 0));
        window->validateActions();
        for (const auto& row : quill::ReaderCommandTable::rows()) {
            QAction* a = window->action(row.command);
            QVERIFY2(a, row.title);
            auto state = window->reader().validateItem(row.command);
            QCOMPARE(a->isEnabled(), state.enabled);
            QCOMPARE(a->shortcut(), QKeySequence(QString(row.key), QKeySequence::PortableText));
        }
        QCOMPARE(window->action(MailReader::Command::Find)->shortcut(), QKeySequence("Ctrl+F"));
        QVERIFY(window->action(MailReader::Command::SortByPriority)->isVisible());
        QVERIFY(!window->listView()->isColumnHidden(quill::TocMatrixModel::Priority));
        QAbstractItemModel* model = window->listView()->model();
        QCOMPARE(model->index(2, quill::TocMatrixModel::Priority).data().toString(), QString("3"));
        QCOMPARE(model->index(1, quill::TocMatrixModel::Priority).data().toString(), QString());
        QVERIFY(window->grab().save(screenshot("mail_reader_priority.png")));
        for (QAction* entry : window->menuBar()->actions()) {
            QMenu* menu = entry->menu();
            menu->popup(window->mapToGlobal(QPoint(0, 0)));
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            QString name = "menu_" + menu->title().remove('&').toLower() + ".png";
            QVERIFY(menu->grab().save(screenshot(name.toLatin1().constData())));
            menu->hide();
        }
        closeAndDelete(window);
    }

    void deleteKeyDeletesTheSelectedMessage() {
        auto* window = openWindow();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->listView()->setFocus();
        window->listView()->setCurrentIndex(window->listView()->model()->index(2, 0));
        QTest::keyClick(window->listView(), Qt::Key_Delete);
        QCOMPARE(window->listView()->model()->rowCount(), 30);
        closeAndDelete(window);
    }

    // The list's own keys and clicks: a page is the rows in sight, Shift and
    // Control extend the selection, the core's selection follows, and a
    // message moved to by keys shows once they stop while a click shows it at once.
    void theListMovesAndSelectsByKeysAndClicks() {
        auto* window = openWindow();
        quill::MessageListView* list = window->listView();
        list->setFocus();
        const int page = list->viewport()->height() / list->rowHeight();
        const int last = list->model()->rowCount() - 1;
        struct Step {
            const char* name;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            int current, selected;
        };
        const Step steps[] = {
            {"home", Qt::Key_Home, Qt::NoModifier, 0, 1},
            {"a page down", Qt::Key_PageDown, Qt::NoModifier, page, 1},
            {"shift extends", Qt::Key_Down, Qt::ShiftModifier, page + 1, 2},
            {"end", Qt::Key_End, Qt::NoModifier, last, 1},
            {"no further than the end", Qt::Key_PageDown, Qt::NoModifier, last, 1},
            {"up", Qt::Key_Up, Qt::NoModifier, last - 1, 1},
        };
        for (const Step& s : steps) {
            QTest::keyClick(list, s.key, s.modifiers);
            QVERIFY2(list->currentIndex().row() == s.current, s.name);
            QVERIFY2(int(window->reader().matrix().selectedRows().size()) == s.selected, s.name);
        }
        QCOMPARE(window->reader().matrix().selectedRow(), last - 1);
        QTRY_COMPARE(window->reader().curMsg(), last - 1);
        QVERIFY(list->visualRect(list->currentIndex()).intersects(list->viewport()->rect()));

        auto rowCentre = [list](int row) {
            return list->visualRect(list->model()->index(row, quill::TocMatrixModel::Subject))
                .center();
        };
        QTest::keyClick(list, Qt::Key_Home);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(3));
        QCOMPARE(window->reader().curMsg(), 3);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(1));
        QCOMPARE(window->reader().matrix().getSelection(), (std::vector<int>{1, 3}));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCentre(5));
        QCOMPARE(window->reader().matrix().selectedRows().size(), std::size_t(5));
        closeAndDelete(window);
    }

    void aSecondHeaderClickReversesTheSortShownByAnArrow() {
        auto* window = openWindow();
        QHeaderView* header = window->listView()->header();
        emit header->sectionClicked(quill::TocMatrixModel::Subject);
        QCOMPARE(header->sortIndicatorSection(), int(quill::TocMatrixModel::Subject));
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QString first =
            window->listView()->model()->index(0, quill::TocMatrixModel::Subject).data().toString();
        emit header->sectionClicked(quill::TocMatrixModel::Subject);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QVERIFY(window->grab().save(screenshot("mail_reader_sorted.png")));
        int last = window->listView()->model()->rowCount() - 1;
        QCOMPARE(window->listView()->model()->index(last, quill::TocMatrixModel::Subject).data(),
                 QVariant(first));
        closeAndDelete(window);
    }

    void theFrameIsKeptOnScreenAndRecordedAtClosing() {
        auto* window = openWindow();
        QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(window->geometry()));
        window->setGeometry(screen.x() + 40, screen.y() + 30, 700, 500);
        closeAndDelete(window);
        auto* again = openWindow();
        QCOMPARE(again->geometry(), QRect(screen.x() + 40, screen.y() + 30, 700, 500));
        closeAndDelete(again);
    }

    void aMailboxShownForTheFirstTimeOpensOverItsParent() {
        quill::tocformat::WindowFrame defaults;
        float defaultHeight = 0;
        quill::MailBox::defaultWindowFrame(defaults, defaultHeight);
        quill::MailBox::setDefaultFrame({100, 200, 300, 200}, 100);
        auto* first = openWindow();
        QRect screen = first->screen()->availableGeometry();
        first->setGeometry(screen.x() + 40, screen.y() + 30, 500, 400);
        first->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(first));
        QDir(m_dir.path()).mkpath("home/Mail/Other.mbox");
        auto* second = quill::openReaderWindow(m_dir.path() + "/home/Mail/Other.mbox");
        QVERIFY(second && !second->reader().hasRecordedFrame());
        QPoint offset = second->geometry().center() - first->geometry().center();
        closeAndDelete(second);
        closeAndDelete(first);
        quill::MailBox::setDefaultFrame(defaults, defaultHeight);
        QVERIFY2(offset.manhattanLength() <= 2, qPrintable(QString::number(offset.x())));
    }

    void theCommandViewShowsTheSenderAndDate() {
        auto* window = openWindow();
        window->listView()->setCurrentIndex(window->listView()->model()->index(3, 0));
        QVERIFY(window->commandView()->isVisible());
        int shown = window->reader().curMsg();
        QVERIFY(window->commandView()->text().contains(QString("Sender %1").arg(shown)));
        QVERIFY(window->commandView()->text().contains(
            QString("Mon, 4 Mar 2024 10:%1:00 +0000").arg(shown, 2, 10, QChar('0'))));
        QVERIFY(window->textView()->document()->rootFrame()->frameFormat().leftMargin() >= 10);
        window->setWindowTitle("stale");
        window->reader().haveNewMail();
        QCOMPARE(window->windowTitle(), QString("Test.mbox"));
        QCOMPARE(window->miniature(), std::string("empty"));
        QVERIFY(!window->windowIcon().isNull());
        window->action(MailReader::Command::ToggleFixedFont)->trigger();
        QTextCursor cursor = window->textView()->document()->find("this is report");
        QVERIFY(!cursor.isNull());
        QCOMPARE(cursor.charFormat().fontFamilies().toStringList().value(0),
                 QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        closeAndDelete(window);
    }

    void preferencesWindowWarnsAboutANonNumericField() {
        auto* prefs = new quill::PreferencesWindow;
        prefs->show();
        m_panels->answer(0);
        prefs->lineEdit("PollTime")->setText("soon");
        emit prefs->lineEdit("PollTime")->editingFinished();
        QCOMPARE(prefs->lineEdit("PollTime")->text(), QString("0"));
        QCOMPARE(m_panels->alerts().size(), size_t(1));
        prefs->revert();
        closeAndDelete(prefs);
    }

    void preferencesWindowShowsEveryKeyWithBrowseBesidePaths() {
        auto* prefs = new quill::PreferencesWindow;
        prefs->show();
        for (const auto& f : quill::Preferences::fields()) {
            QWidget* w = prefs->field(f.key);
            QVERIFY2(w, f.key.c_str());
            if (!quill::PreferenceKeyTable::isPath(f.kind)) continue;
            auto* browse =
                prefs->findChild<QPushButton*>(QString::fromStdString("browse:" + f.key));
            QVERIFY2(browse && browse->text() == "Browse...", f.key.c_str());
        }
        QStringList buttons;
        for (QPushButton* b : prefs->findChildren<QPushButton*>()) buttons << b->text();
        QVERIFY(buttons.contains("OK"));
        QVERIFY(buttons.contains("Close"));
        auto* tabs = prefs->findChild<QTabWidget*>();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QString name = QString("preferences_tab%1.png").arg(i);
            QVERIFY(prefs->grab().save(screenshot(name.toLatin1().constData())));
        }
        closeAndDelete(prefs);
    }

    void aPreferencesFieldErrorKeepsTheOtherChanges() {
        auto* prefs = new quill::PreferencesWindow;
        prefs->show();
        prefs->lineEdit("PriorityHeader")->setText("X-Priority");
        emit prefs->lineEdit("PriorityHeader")->editingFinished();
        m_panels->answer(0);
        prefs->lineEdit("SpoolDir")->setText(m_dir.path() + "/nowhere");
        emit prefs->lineEdit("SpoolDir")->editingFinished();
        QVERIFY(prefs->isMarkedInvalid("SpoolDir"));
        m_panels->answer(0);
        QVERIFY(!prefs->apply());
        QVERIFY(m_panels->alerts().back().message.find("Spool directory") != std::string::npos);
        QCOMPARE(quill::Defaults::shared().priorityHeader(), std::string("X-Priority"));
        QVERIFY(prefs->isMarkedInvalid("SpoolDir"));
        QCOMPARE(prefs->findChild<QTabWidget*>()->currentIndex(), 0);
        QVERIFY(prefs->grab().save(screenshot("preferences_window.png")));
        prefs->revert();
        closeAndDelete(prefs);
    }
};

QTEST_MAIN(TestMailReaderWindow)
#include "test_mail_reader_window.moc"

// The Qt stand-ins: the run loop on Qt's event loop, the settings file, and alerts.
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <thread>

#include "base/FileHandles.h"
#include "qtcore/QSettingsDefaultsStore.h"
#include "ui/platform/QtPanels.h"
#include "ui/platform/QtRunLoop.h"

using namespace std::chrono_literals;

class TestUiPlatform : public QObject {
    Q_OBJECT
  private slots:
    void delayedCallsCanBeCancelled() {
        quill::QtRunLoop loop;
        QString order;
        loop.performAfter(20ms, [&] { order += "b"; });
        auto doomed = loop.performAfter(5ms, [&] { order += "x"; });
        loop.performAfter(1ms, [&] { order += "a"; });
        loop.cancel(doomed);
        QVERIFY(loop.runUntil([&] { return order.size() == 2; }, 2s));
        loop.runUntil([] { return false; }, 30ms);
        QCOMPARE(order, QString("ab"));
    }

    void watchesAndCrossThreadPostsRunOnTheGuiThread() {
        quill::QtRunLoop loop;
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        quill::UniqueFd r(fds[0]), w(fds[1]);
        bool watched = false;
        auto id = loop.watchReadable(r.get(), [&] {
            char c;
            [[maybe_unused]] auto n = ::read(r.get(), &c, 1);
            watched = true;
        });
        std::thread::id ranOn;
        std::thread poster([&] {
            loop.post([&] { ranOn = std::this_thread::get_id(); });
            quill::writeAll(w.get(), "x");
        });
        QVERIFY(loop.runUntil([&] { return watched && ranOn != std::thread::id(); }, 2s));
        poster.join();
        QCOMPARE(ranOn, std::this_thread::get_id());
        loop.unwatch(id);
    }

    void settingsFileIsCreatedOnFirstWriteAndReadBack() {
        QTemporaryDir dir;
        std::string path = dir.filePath("Quill/Quill.conf").toStdString();
        {
            quill::QSettingsDefaultsStore store(path);
            QVERIFY(!store.get("PollTime"));
            QVERIFY(!QFile::exists(QString::fromStdString(path)));
            store.set("PollTime", "7");
            store.set("MailFilter1", "X-Face:odd=value");
        }
        quill::QSettingsDefaultsStore again(path);
        QCOMPARE(again.get("PollTime").value_or(""), std::string("7"));
        QCOMPARE(again.get("MailFilter1").value_or(""), std::string("X-Face:odd=value"));
        again.remove("PollTime");
        QVERIFY(!again.get("PollTime"));
    }

    void alertsAnswerTheIndexOfTheClickedButton() {
        quill::QtPanels panels;
        QTimer::singleShot(50, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == "Revert") b->click();
            }
        });
        int answer = panels.runAlert({"Preferences", "Set them now?", {"Set", "Revert", "Cancel"}});
        QCOMPARE(answer, 1);
    }
};

QTEST_MAIN(TestUiPlatform)
#include "test_ui_platform.moc"

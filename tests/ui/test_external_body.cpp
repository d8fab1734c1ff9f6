// The question asked before an external body is fetched, as the user sees it,
// and what answering Cancel does.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/MimeFetcher.h"
#include "platform/UserInfo.h"
#include "process/ProcessLauncher.h"
#include "ui/platform/QtPanels.h"

namespace {

QString screenshot(const char* name) {
    QDir().mkpath(QUILL_SCREENSHOT_DIR);
    return QString(QUILL_SCREENSHOT_DIR) + "/" + name;
}

}  // namespace

class TestExternalBody : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    void theQuestionNamesTheWayAndTheSize() {
        quill::setCurrentUser({"tester", (m_dir.path() + "/home").toStdString(), "Test User"});
        quill::installPanels(std::make_shared<quill::QtPanels>());
        QString part = m_dir.path() + "/part";
        QFile f(part);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "Content-Type: message/external-body; access-type=anon-ftp; "
            "site=ftp.example.org; name=report.ps; size=250000\n\n"
            "Content-Type: application/postscript\n\n");
        f.close();
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
};

QTEST_MAIN(TestExternalBody)
#include "test_external_body.moc"

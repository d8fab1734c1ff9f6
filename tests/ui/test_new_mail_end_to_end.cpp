// New mail the way a new user gets it: the real Quill started with an empty
// HOME and default settings (only the spool directory and the poll time set in
// the settings file), mail put in the spool, and the message expected once in
// the default active mailbox "~/tessel/Mailboxes/Active.mbox". Nothing outside
// the test's temporary directory is touched: HOME, the settings, the spool,
// the port directory and the temporary directory all live in it.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "IsolatedHome.h"

namespace {

QByteArray loginName() {
    const passwd* pw = ::getpwuid(::getuid());
    return pw ? QByteArray(pw->pw_name) : qgetenv("USER");
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray kMessage =
    "From sender@example.com Sun Dec  6 04:00:00 2026\n"
    "From: Sender <sender@example.com>\n"
    "Subject: welcome to Quill\n"
    "Message-ID: <end-to-end@example.com>\n"
    "\n"
    "The first message a new user receives.\n"
    "\n";

}  // namespace

class TestNewMailEndToEnd : public QObject {
    Q_OBJECT
  private slots:
    void spoolMailReachesTheDefaultActiveMailbox() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString home = root.filePath("home"), spoolDir = root.filePath("spool");
        const QString spool = spoolDir + "/" + QString::fromLocal8Bit(loginName());
        QProcessEnvironment env = quill::isolatedEnvironment(root.path(), 1);
        QVERIFY(quill::writeAll(spool, kMessage));

        QProcess quill;
        quill.setProcessEnvironment(env);
        quill.setWorkingDirectory(home);
        quill.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        quill.start(QUILL_BIN_DIR "/Quill", {});
        QVERIFY(quill.waitForStarted());

        const QString mbox = home + "/tessel/Mailboxes/Active.mbox/mbox";
        QTRY_VERIFY_WITH_TIMEOUT(readAll(mbox).contains(kMessage), 60000);
        QCOMPARE(readAll(mbox).count("Message-ID: <end-to-end@example.com>"), 1);
        QCOMPARE(QFileInfo(spool).size(), 0);
        // The private temporary directory is made under TMPDIR, not in the shared /tmp.
        struct stat st;
        QCOMPARE(::lstat(root.filePath("tmp/" + loginName()).toLocal8Bit().constData(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode));
        QCOMPARE(st.st_mode & 0777, 0700u);

        quill.terminate();
        QVERIFY(quill.waitForFinished(30000));
        QCOMPARE(quill.exitStatus(), QProcess::NormalExit);
        QCOMPARE(readAll(mbox).count("Message-ID: <end-to-end@example.com>"), 1);
        QVERIFY(!QFile::exists(home + "/tessel/Mailboxes/Active.mbox/.lock"));
    }
};

QTEST_GUILESS_MAIN(TestNewMailEndToEnd)
#include "test_new_mail_end_to_end.moc"

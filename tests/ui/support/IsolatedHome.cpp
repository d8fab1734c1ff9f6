#include "IsolatedHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quill {

bool writeAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QProcessEnvironment isolatedEnvironment(const QString& root, int pollSeconds) {
    QDir dir(root);
    dir.mkpath("home");
    dir.mkpath("run");
    QFile::setPermissions(dir.filePath("run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    dir.mkpath("tmp");
    writeAll(dir.filePath("config/Quill/Quill.conf"),
             "[General]\nSpoolDir=" + dir.filePath("spool").toLocal8Bit() +
                 "\nPollTime=" + QByteArray::number(pollSeconds) + "\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.filePath("home"));
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", dir.filePath("run"));
    env.insert("TMPDIR", dir.filePath("tmp"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

}  // namespace quill

// The real Quill started by a test so that nothing outside the test's
// temporary directory is touched: HOME, the settings, the spool, the port
// directory and the temporary directory all live in it.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

namespace quill {

// Writes bytes to path, making its directory first.
bool writeAll(const QString& path, const QByteArray& bytes);

// Makes root's "home", "run" (owner only) and "tmp", writes a settings file
// with the spool directory root/spool and the poll time, and answers the
// environment to start Quill in (offscreen).
QProcessEnvironment isolatedEnvironment(const QString& root, int pollSeconds);

}  // namespace quill

#include "ui/platform/QtWorkspace.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace quill {
namespace {

// How long the desktop's opener is given to say it found no program.
constexpr int kOpenerVerdictMs = 1500;

}  // namespace

// The desktop's opener ends with a failure status when no program handles the
// file; one still running after a moment has found one and shows the file.
bool QtWorkspace::openFile(const std::string& path) {
    QString target = QString::fromStdString(path);
    QString opener = QStandardPaths::findExecutable("xdg-open");
    if (opener.isEmpty()) return QDesktopServices::openUrl(QUrl::fromLocalFile(target));
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(opener, {target});
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    if (!process->waitForFinished(kOpenerVerdictMs)) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return true;
    }
    bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    delete process;
    return opened;
}

}  // namespace quill

#include "ui/platform/QtWorkspace.h"

#include <fcntl.h>
#include <sys/wait.h>

#include <QDesktopServices>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include "base/FileHandles.h"

namespace quill {
namespace {

// How long the desktop's opener is given to say it found no program.
constexpr int kOpenerVerdictMs = 1500;
constexpr int kOpenerLookMs = 10;

}  // namespace

// The desktop's opener ends with a failure status when no program handles the
// file; one still running after a moment has found one and shows the file.
bool QtWorkspace::openFile(const std::string& path) {
    QString opener = QStandardPaths::findExecutable("xdg-open");
    if (opener.isEmpty()) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    UniqueFd nowhere = quill::openFile("/dev/null", O_WRONLY);
    LaunchRequest request;
    request.argv = {opener.toStdString(), path};
    request.stdio[1] = nowhere ? nowhere.get() : kInheritStream;
    LaunchedChild child = m_launcher.launch(request);
    if (!child.started()) return false;
    int status = 0;
    for (int waited = 0; waited < kOpenerVerdictMs; waited += kOpenerLookMs) {
        int ended = m_launcher.tryWait(child.pid, status);
        if (ended != 0) return ended > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        QThread::msleep(kOpenerLookMs);
    }
    m_launcher.watchExit(child.pid, nullptr);
    return true;
}

}  // namespace quill

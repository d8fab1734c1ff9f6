#include "ui/platform/QtWorkspace.h"

#include <QDesktopServices>
#include <QUrl>

namespace quill {

bool QtWorkspace::openFile(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace quill

#include "ui/app/LauncherWindow.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quill {

LauncherWindow::LauncherWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Quill");
    setMinimumWidth(280);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("No mailbox is open.")));
    const std::pair<QString, void (LauncherWindow::*)()> buttons[] = {
        {tr("Open Active Mailbox"), &LauncherWindow::openActiveRequested},
        {tr("Open..."), &LauncherWindow::openOtherRequested},
        {tr("Mailboxes"), &LauncherWindow::mailboxesRequested},
        {tr("Preferences..."), &LauncherWindow::preferencesRequested},
        {tr("Quit"), &LauncherWindow::quitRequested}};
    for (const auto& [title, signal] : buttons) {
        auto* button = new QPushButton(title);
        connect(button, &QPushButton::clicked, this, signal);
        layout->addWidget(button);
    }
}

}  // namespace quill

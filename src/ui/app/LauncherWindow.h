// LauncherWindow: shown when no mailbox window is open after the launch (the
// user refused the active mailbox's lock, say), so Quill never runs on unseen:
// open the active mailbox or another one, the preferences, or quit.
#pragma once

#include <QWidget>

namespace quill {

class LauncherWindow : public QWidget {
    Q_OBJECT
  public:
    explicit LauncherWindow(QWidget* parent = nullptr);

  signals:
    void openActiveRequested();
    void openOtherRequested();
    void mailboxesRequested();
    void preferencesRequested();
    void quitRequested();
};

}  // namespace quill

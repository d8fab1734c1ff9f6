// QtApplicationShell: the application driver's windowing side. It paints the
// application icon ("nomail", "newmail1", "newmail2") on every window and in
// the system tray with the new-message count, plays the new-mail sound, opens
// mailbox windows and ends the program.
#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>

#include "app/ApplicationShell.h"
#include "process/ProcessLauncher.h"
#include "ui/browser/QtMailboxBrowserHost.h"

class QSystemTrayIcon;
class QWidget;

namespace quill {

class AddressBookWindow;
class LauncherWindow;
class MailboxOpening;
class MailReader;
class MailboxBrowserWindow;
class PreferencesWindow;

class QtApplicationShell : public QObject, public ApplicationShell {
    Q_OBJECT
  public:
    // Sounds play through `launcher`.
    explicit QtApplicationShell(ProcessLauncher& launcher, QObject* parent = nullptr);
    ~QtApplicationShell() override;

    void setIconFrame(int frame) override;
    bool canShowIconText() const override { return true; }
    void setIconText(const std::string& text) override;
    bool playSound(const std::string& path) override;
    std::shared_ptr<MailWindowController> openMailboxWindow(const std::string& path) override;
    void terminateApplication() override;
    // Hidden at log-in, the application waits in the tray; without one it cannot hide.
    bool hideApplication() override;
    void showLauncher() override;

    // The icon of a frame with the count written on it (empty: no count).
    static QIcon iconFor(int frame, const QString& count);
    int frame() const { return m_frame; }
    const QString& iconText() const { return m_text; }

    void showPreferences();
    void showAddressBook();
    // The mailbox browser panel, made on first use.
    void showMailboxes();
    // Places a window centred on its parent (or the screen), wholly on the screen.
    static void centreOn(QWidget* window, const QWidget* parent);
    // Places a window at `wanted`, kept wholly on the screen it is on (or the
    // primary one when that screen is gone).
    static void placeOnScreen(QWidget* window, const QRect& wanted);
    void chooseMailboxToOpen();

  private:
    void repaint();
    void showOpening(const std::shared_ptr<MailboxOpening>& opening);
    // A mailbox window; with a stand-in, in its place.
    void showReaderWindow(const std::shared_ptr<MailReader>& reader, const QWidget* standIn);

    ProcessLauncher& m_processes;
    int m_frame = 0;
    QString m_text;
    QSystemTrayIcon* m_tray = nullptr;
    void trayActivated();
    void openActiveMailbox();

    QPointer<PreferencesWindow> m_preferences;
    QPointer<AddressBookWindow> m_addressBook;
    QPointer<LauncherWindow> m_launcher;
    QtMailboxBrowserHost m_browserHost;
    QPointer<MailboxBrowserWindow> m_mailboxes;
};

}  // namespace quill

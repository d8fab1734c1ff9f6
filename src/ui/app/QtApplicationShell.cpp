#include "ui/app/QtApplicationShell.h"

#include <QApplication>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include "addressbook/Alias.h"
#include "app/MailDriver.h"
#include "platform/Panels.h"
#include "platform/WindowPlacement.h"
#include "reader/MailReader.h"
#include "reader/MailboxOpening.h"
#include "settings/Defaults.h"
#include "ui/addressbook/AddressBookWindow.h"
#include "ui/app/LauncherWindow.h"
#include "ui/browser/MailboxBrowserWindow.h"
#include "ui/reader/MailReaderWindow.h"
#include "ui/reader/MailboxOpeningWindow.h"
#include "ui/settings/PreferencesWindow.h"

namespace quill {

QtApplicationShell::QtApplicationShell(ProcessLauncher& launcher, QObject* parent)
    : QObject(parent), m_processes(launcher) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(this);
        m_tray->setToolTip("Quill");
        connect(m_tray, &QSystemTrayIcon::activated, this, &QtApplicationShell::trayActivated);
        m_tray->show();
    }
    repaint();
}

QtApplicationShell::~QtApplicationShell() = default;

QIcon QtApplicationShell::iconFor(int frame, const QString& count) {
    QPixmap pix(64, 64);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    // An envelope; new mail lifts its flap and colours it, alternating between two frames.
    QColor paper = frame == 0 ? QColor(230, 230, 225) : QColor(255, 250, 205);
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(paper);
    p.drawRect(6, 18, 52, 36);
    QPolygon flap;
    int tip = frame == 2 ? 4 : (frame == 1 ? 10 : 40);
    flap << QPoint(6, 18) << QPoint(32, tip) << QPoint(58, 18);
    p.setBrush(frame == 0 ? paper : QColor(255, 200, 60));
    p.drawPolygon(flap);
    if (!count.isEmpty()) {
        p.setBrush(QColor(200, 30, 30));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRect(34, 30, 28, 28));
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(count.size() > 2 ? 11 : 15);
        p.setFont(f);
        p.drawText(QRect(34, 30, 28, 28), Qt::AlignCenter, count);
    }
    return QIcon(pix);
}

void QtApplicationShell::repaint() {
    QIcon icon = iconFor(m_frame, m_text);
    QApplication::setWindowIcon(icon);
    if (m_tray) {
        m_tray->setIcon(icon);
        m_tray->setToolTip(m_text.isEmpty() ? QString("Quill")
                                            : QString("Quill: %1 new").arg(m_text));
    }
}

void QtApplicationShell::setIconFrame(int frame) {
    m_frame = frame;
    repaint();
}

void QtApplicationShell::setIconText(const std::string& text) {
    m_text = QString::fromStdString(text);
    repaint();
}

bool QtApplicationShell::playSound(const std::string& path) {
    QFileInfo info(QString::fromStdString(path));
    if (!info.isFile() || !info.isReadable()) return false;
    // Hand the file to the desktop's sound player; without one the sound cannot play.
    for (const char* player : {"paplay", "aplay", "play"}) {
        QString program = QStandardPaths::findExecutable(player);
        if (program.isEmpty()) continue;
        LaunchRequest request;
        request.argv = {program.toStdString(), info.filePath().toStdString()};
        LaunchedChild child = m_processes.launch(request);
        if (child.started()) m_processes.watchExit(child.pid, nullptr);
        return child.started();
    }
    return false;
}

// A mailbox whose index must be rebuilt gets a window at once that shows the
// rebuild; the mailbox window takes its place when the rebuild is over.
std::shared_ptr<MailWindowController> QtApplicationShell::openMailboxWindow(
    const std::string& path) {
    MailDriver& driver = MailDriver::shared();
    auto opening = std::make_shared<MailboxOpening>(path, driver.mailContext(), driver);
    opening->start();
    if (opening->state() == MailboxOpening::State::Rebuilding) {
        showOpening(opening);
        return opening;
    }
    std::shared_ptr<MailReader> reader(opening->takeReader().release());
    if (reader) showReaderWindow(reader, nullptr);
    return reader;
}

void QtApplicationShell::showOpening(const std::shared_ptr<MailboxOpening>& opening) {
    auto* pending = new MailboxOpeningWindow(opening);
    connect(pending, &MailboxOpeningWindow::finished, this, [this, pending] {
        MailDriver& driver = MailDriver::shared();
        driver.removeMailWindow(&pending->opening());
        std::shared_ptr<MailReader> reader(pending->opening().takeReader().release());
        if (reader) {
            showReaderWindow(reader, pending);
            driver.addMailWindow(reader);
        }
        pending->close();
    });
    pending->show();
}

void QtApplicationShell::showReaderWindow(const std::shared_ptr<MailReader>& reader,
                                          const QWidget* standIn) {
    auto* window = new MailReaderWindow(reader);
    connect(window, &MailReaderWindow::preferencesRequested, this,
            &QtApplicationShell::showPreferences);
    connect(window, &MailReaderWindow::openMailboxRequested, this,
            &QtApplicationShell::chooseMailboxToOpen);
    connect(window, &MailReaderWindow::addressBookRequested, this,
            &QtApplicationShell::showAddressBook);
    connect(window, &MailReaderWindow::mailboxesRequested, this,
            &QtApplicationShell::showMailboxes);
    // Where the user moved or sized the window while the index was rebuilt.
    if (standIn) window->setGeometry(standIn->geometry());
    window->show();
    if (standIn && standIn->isActiveWindow()) window->activateWindow();
}

void QtApplicationShell::showPreferences() {
    if (!m_preferences) {
        m_preferences = new PreferencesWindow;
        centreOn(m_preferences, QApplication::activeWindow());
    }
    m_preferences->show();
    m_preferences->raise();
}

void QtApplicationShell::showAddressBook() {
    if (!m_addressBook) {
        m_addressBook = new AddressBookWindow(Alias::shared());
        centreOn(m_addressBook, QApplication::activeWindow());
    }
    m_addressBook->show();
    m_addressBook->raise();
    m_addressBook->activateWindow();
}

void QtApplicationShell::showMailboxes() {
    if (!m_mailboxes) {
        m_mailboxes = new MailboxBrowserWindow(MailDriver::shared().workingDir(), m_browserHost);
        centreOn(m_mailboxes, QApplication::activeWindow());
    }
    m_mailboxes->showPanel();
}

void QtApplicationShell::centreOn(QWidget* window, const QWidget* parent) {
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect area = screen->availableGeometry();
    QRect over = parent ? parent->frameGeometry() : area;
    QSize size = window->size().expandedTo(window->minimumSizeHint());
    WindowPlacement::Rect placed = WindowPlacement::centredOn(
        size.width(), size.height(), {over.x(), over.y(), over.width(), over.height()},
        {area.x(), area.y(), area.width(), area.height()});
    window->setGeometry(placed.x, placed.y, placed.width, placed.height);
}

void QtApplicationShell::placeOnScreen(QWidget* window, const QRect& wanted) {
    QScreen* screen = QGuiApplication::screenAt(wanted.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : wanted;
    WindowPlacement::Rect placed =
        WindowPlacement::onScreen({wanted.x(), wanted.y(), wanted.width(), wanted.height()},
                                  {area.x(), area.y(), area.width(), area.height()});
    window->setGeometry(placed.x, placed.y, placed.width, placed.height);
}

void QtApplicationShell::chooseMailboxToOpen() {
    MailDriver& driver = MailDriver::shared();
    auto chosen = panels().runOpenPanel({"Open", driver.workingDir(), true, true});
    for (const auto& path : chosen) driver.openFile(path);
}

void QtApplicationShell::terminateApplication() { QApplication::quit(); }

bool QtApplicationShell::hideApplication() { return m_tray != nullptr; }

// A click on the tray icon shows the application: the mailbox kept back at
// log-in opens, or the active mailbox's window comes forward.
void QtApplicationShell::trayActivated() {
    MailDriver& driver = MailDriver::shared();
    if (driver.hiddenAtLaunch()) return driver.applicationDidUnhide();
    if (MailWindowController* active = driver.activeMailboxWindow()) return active->orderFront();
    openActiveMailbox();
}

void QtApplicationShell::openActiveMailbox() {
    if (MailDriver::shared().openMbox(Defaults::shared().activeMailbox()) && m_launcher)
        m_launcher->close();
}

void QtApplicationShell::showLauncher() {
    if (!m_launcher) {
        m_launcher = new LauncherWindow;
        connect(m_launcher, &LauncherWindow::openActiveRequested, this,
                &QtApplicationShell::openActiveMailbox);
        connect(m_launcher, &LauncherWindow::openOtherRequested, this,
                &QtApplicationShell::chooseMailboxToOpen);
        connect(m_launcher, &LauncherWindow::preferencesRequested, this,
                &QtApplicationShell::showPreferences);
        connect(m_launcher, &LauncherWindow::mailboxesRequested, this,
                &QtApplicationShell::showMailboxes);
        connect(m_launcher, &LauncherWindow::quitRequested, this,
                [] { MailDriver::shared().terminate(); });
        m_launcher->adjustSize();
        centreOn(m_launcher, nullptr);
    }
    m_launcher->show();
    m_launcher->raise();
}

}  // namespace quill

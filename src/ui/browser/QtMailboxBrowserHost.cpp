#include "ui/browser/QtMailboxBrowserHost.h"

#include "app/MailDriver.h"
#include "browser/MessageTransfer.h"
#include "settings/Defaults.h"
#include "ui/reader/MailReaderWindow.h"

namespace quill {

// A mailbox shown already, or still being opened, has its window brought forward.
bool QtMailboxBrowserHost::openMailbox(const std::string& path) {
    MailDriver& driver = MailDriver::shared();
    return driver.findToc(path, true) || driver.openMbox(path);
}

bool QtMailboxBrowserHost::isActiveMailbox(const std::string& path) const {
    MailDriver& driver = MailDriver::shared();
    return driver.fullMailboxPath(path) ==
           driver.fullMailboxPath(Defaults::shared().activeMailbox());
}

void QtMailboxBrowserHost::checkNewMailQuietly() { MailDriver::shared().checkNewMail(false); }

void QtMailboxBrowserHost::closeMailboxWindow(const std::string& path) {
    if (MailWindowController* window = MailDriver::shared().findToc(path, false))
        window->closeWindow();
}

bool QtMailboxBrowserHost::hasSourceWindow() const {
    return MailReaderWindow::mainWindow() != nullptr;
}

bool QtMailboxBrowserHost::transferSelectionTo(const std::string& path) {
    MailReaderWindow* source = MailReaderWindow::mainWindow();
    return source && MessageTransfer::transfer(source->reader(), path);
}

void QtMailboxBrowserHost::deleteTransferred() {
    if (MailReaderWindow* source = MailReaderWindow::mainWindow())
        source->reader().perform(MailReader::Command::DeleteOne, false);
}

}  // namespace quill

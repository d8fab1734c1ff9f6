// Quill: start-up of the graphical mail client.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "addressbook/Alias.h"
#include "app/MailDriver.h"
#include "app/terminationsignals.h"
#include "links/URLFilter.h"
#include "message/MailMessage.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "platform/UserInfo.h"
#include "process/ChildWatch.h"
#include "process/PosixProcessLauncher.h"
#include "qtcore/QSettingsDefaultsStore.h"
#include "reader/MailReader.h"
#include "reader/MessageRenderer.h"
#include "reader/TextDisplayFilters.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"
#include "ui/app/QtApplicationShell.h"
#include "ui/app/StartupMeasure.h"
#include "ui/platform/QtPanels.h"
#include "ui/platform/QtRunLoop.h"
#include "ui/platform/QtWorkspace.h"

namespace {

// Without a window system there is nothing to show; say so instead of aborting in Qt.
bool displayAvailable() {
    for (const char* var : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(var);
        if (v && *v) return true;
    }
    return false;
}

void installServices(quill::ProcessLauncher& launcher) {
    quill::setCurrentUser(quill::userInfoFromSystem());
    quill::Defaults::shared().setStore(std::make_shared<quill::QSettingsDefaultsStore>());
    quill::installPanels(std::make_shared<quill::QtPanels>());
    quill::installRunLoop(std::make_shared<quill::QtRunLoop>());
    quill::installWorkspace(std::make_shared<quill::QtWorkspace>(launcher));
}

}  // namespace

int main(int argc, char** argv) {
    if (!displayAvailable()) {
        std::fputs(
            "Quill: no display is available. Set DISPLAY (or WAYLAND_DISPLAY) to the "
            "window system Quill should open its windows on.\n",
            stderr);
        return 1;
    }
    bool measureStartup = quill::StartupMeasure::requested(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quill");
    QApplication::setQuitOnLastWindowClosed(true);
    // The one launcher every program is started through; code not yet handed it finds it installed.
    quill::ChildWatch childWatch;
    auto launcher = std::make_shared<quill::PosixProcessLauncher>(childWatch);
    quill::installProcessLauncher(launcher);
    installServices(*launcher);
    quill::StartupMeasure measure;
    if (measureStartup) app.installEventFilter(&measure);

    quill::QtApplicationShell shell(*launcher);
    quill::MailDriver& driver = quill::MailDriver::shared();
    driver.setShell(&shell);
    quill::installTerminationSignals([&driver](int signo) { driver.terminationSignal(signo); });
    driver.setProcesses(*launcher, childWatch);
    childWatch.start();
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) driver.setTemporaryRoot(tmp);
    if (!driver.startUp()) return 0;
    // The address book loads on its own thread while the windows open.
    quill::Alias::shared().forkedInitialize();
    // Attachments shown or decoded go to the private per-user directory.
    quill::MailMessage::setDefaultAttachmentDirectory(driver.tempDir());
    quill::MailReader::setAttachmentRoot(driver.tempDir());
    quill::registerMessageClasses();
    quill::TextDisplayFilters::add(quill::URLFilter::willDisplayText);
    std::vector<std::string> classNames;
    for (const quill::MailClass* cls : quill::MailMessage::mailClasses())
        classNames.push_back(cls->name);
    quill::Defaults::shared().setMessageClassNames(classNames);
    quill::MailMessage::setLineLength(quill::Defaults::shared().lineLength());
    // A mailbox window opens at this frame until it has one of its own.
    quill::MailBox::setDefaultFrame({100, 100, 860, 640}, 240);
    // The store finds the mailbox a window already has open by its path.
    quill::MailBox::setWindowFinder([&driver](const std::string& path) -> quill::MailBox* {
        auto* reader = dynamic_cast<quill::MailReader*>(driver.findToc(path, false));
        return reader ? &reader->mailbox() : nullptr;
    });
    driver.loadBundles();

    for (int i = 1; i < argc; ++i) driver.openFile(argv[i]);
    driver.applicationDidFinishLaunching();
    driver.startPolling();
    QTimer::singleShot(0, [&driver] { driver.initialCheck(); });
    int status = app.exec();
    // Closing the last window ends the event loop without the driver's quit.
    driver.realQuit();
    quill::removeTerminationSignals();
    childWatch.end();
    return status;
}

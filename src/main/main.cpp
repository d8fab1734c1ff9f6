// Quill: start-up of the graphical mail client.
#include <malloc.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "BuildInfo.h"
#include "addressbook/Alias.h"
#include "app/ApplicationWorkspace.h"
#include "app/MailDriver.h"
#include "app/MailListener.h"
#include "app/MimeFetcher.h"
#include "app/SendDemo.h"
#include "app/StartArguments.h"
#include "app/terminationsignals.h"
#include "browser/MessageTransfer.h"
#include "links/URLFilter.h"
#include "message/MailMessage.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "platform/UserInfo.h"
#include "platform/resources.h"
#include "process/ChildWatch.h"
#include "process/PosixProcessLauncher.h"
#include "qtcore/DBusMailListener.h"
#include "qtcore/QSettingsDefaultsStore.h"
#include "qtcore/SingleInstance.h"
#include "reader/MailReader.h"
#include "reader/MailboxOpening.h"
#include "reader/MessageRenderer.h"
#include "reader/TextDisplayFilters.h"
#include "settings/Defaults.h"
#include "store/MailBox.h"
#include "ui/app/LoginPanelDialog.h"
#include "ui/app/QtApplicationShell.h"
#include "ui/app/ServiceComposerFactory.h"
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
    // External bodies saved from messages come back to Quill to be fetched.
    quill::installWorkspace(std::make_shared<quill::ApplicationWorkspace>(
        std::make_shared<quill::QtWorkspace>(launcher),
        [](const std::string& path) { return quill::MailDriver::shared().openFile(path); }));
}

bool versionRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "--version") return true;
    return false;
}

// The version, and where this Quill takes its resources from.
void printVersion() {
    std::string resource = quill::getResourceDir("MimeFileTypes");
    std::printf("Quill %s\nResources: %s\n", quill::buildinfo::kVersion,
                resource.substr(0, resource.rfind('/')).c_str());
}

// Mailboxes to open and compose windows to fill, from this start's command
// line or from a later start's.
void openRequested(const quill::StartArguments& start) {
    for (const std::string& file : start.files) quill::MailDriver::shared().openFile(file);
    for (const quill::MailtoURL& link : start.composeRequests())
        quill::SendDemo::shared().compose(link);
}

// A later start of Quill on this display: what it asks for, or the mailbox window brought forward.
void openHandedOver(const std::vector<std::string>& words) {
    quill::StartArguments start = quill::StartArguments::parse(words, "");
    if (!start.files.empty() || start.wantsCompose()) return openRequested(start);
    if (quill::MailWindowController* window = quill::MailDriver::shared().activeMailboxWindow())
        window->orderFront();
}

// Other programs fill and deliver compose windows through the mail service;
// without a session bus Quill runs on without it.
void offerMailService(quill::DBusMailListener& service) {
    if (!service.registerOn(QDBusConnection::sessionBus()))
        std::fputs("Quill: could not register the mail service\n", stderr);
}

}  // namespace

int main(int argc, char** argv) {
    // Large passing blocks (a message's text, its document) are mapped and
    // given back whole when freed, instead of leaving holes in the heap that a
    // long-running window keeps.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    if (versionRequested(argc, argv)) {
        printVersion();
        return 0;
    }
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
    quill::StartArguments start = quill::StartArguments::parse(
        std::vector<std::string>(argv + 1, argv + argc), QDir::currentPath().toStdString());
    quill::SendDemo& sendDemo = quill::SendDemo::shared();
    quill::ServiceComposerFactory composers(sendDemo);
    sendDemo.setFactory(&composers);
    quill::SingleInstance instance(openHandedOver);
    if (!instance.claim() && quill::SingleInstance::handOver(start.words())) return 0;
    // The handle-less service calls start a new composer once the user has been elsewhere.
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, [&sendDemo](auto state) {
        if (state != Qt::ApplicationActive) sendDemo.resetTheComposer();
    });
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
    driver.mimeFetcher().setLoginPanel(quill::LoginPanelDialog::run);
    sendDemo.setIncorporate([&driver] { driver.checkNewMail(false); });
    quill::MailListener listener(&sendDemo);
    quill::DBusMailListener mailService(listener);
    offerMailService(mailService);
    // The address book loads on its own thread while the windows open.
    quill::Alias::shared().forkedInitialize();
    // Attachments shown or decoded go to the private per-user directory.
    quill::MailMessage::setDefaultAttachmentDirectory(driver.tempDir());
    quill::MailReader::setAttachmentRoot(driver.tempDir());
    quill::registerMessageClasses();
    // The browser's Transfer moves the selection as the window's own Transfer does.
    quill::MessageTransfer::install([](quill::MailReader& source, const std::string& target) {
        return source.transferTo(target);
    });
    quill::TextDisplayFilters::add(quill::URLFilter::willDisplayText);
    std::vector<std::string> classNames;
    for (const quill::MailClass* cls : quill::MailMessage::mailClasses())
        classNames.push_back(cls->name);
    quill::Defaults::shared().setMessageClassNames(classNames);
    quill::MailMessage::setLineLength(quill::Defaults::shared().lineLength());
    // A mailbox window opens at this frame until it has one of its own.
    quill::MailBox::setDefaultFrame({100, 100, 860, 640}, 240);
    // The store finds the mailbox a window already has open by its path.
    quill::MailBox::setWindowFinder([&driver](const std::string& path) {
        quill::MailWindowController* window = driver.findToc(path, false);
        auto* reader = dynamic_cast<quill::MailReader*>(window);
        return quill::MailBox::WindowMailbox{
            reader ? &reader->mailbox() : nullptr,
            dynamic_cast<quill::MailboxOpening*>(window) != nullptr};
    });
    driver.loadBundles();

    openRequested(start);
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

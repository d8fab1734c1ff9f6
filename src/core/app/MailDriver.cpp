#include "app/MailDriver.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "addressbook/Alias.h"
#include "app/MimeFetcher.h"
#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "message/MailMessage.h"
#include "newmail/MailPoller.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "platform/RunLoop.h"
#include "platform/UserInfo.h"
#include "platform/resources.h"
#include "process/ChildWatch.h"
#include "process/ProcessLauncher.h"
#include "reader/StatusAlerts.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

constexpr const char* kProgramName = "Quill";
constexpr const char* kDefaultMailDir = "~/tessel/Mailboxes";
// The icon's new-mail animation, one frame every half second.
constexpr int kAnimationFrames[] = {0, 1, 2, 1, 0, 1, 2, 1, 0, 1, 2, 1, 0, 1, 2};

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string currentDirectory() {
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? buf : "";
}

}  // namespace

MailDriver::MailDriver() { installDefaultHooks(); }

MailDriver::~MailDriver() = default;

MailContext MailDriver::mailContext() const {
    MailContext context = interactiveMailContext(Defaults::shared(), panels(), runLoop());
    context.launcher = m_launcher;
    return context;
}

void MailDriver::installDefaultHooks() {
    exitProcess = [](int status) { std::exit(status); };
    firstImportantPid = [this] { return m_watch ? m_watch->firstImportantPid() : pid_t(-1); };
    forgetImportantPid = [this](pid_t pid, int status) {
        if (m_watch) m_watch->forgetImportantPid(pid, status);
    };
    beforeWindowsClose = [] {};
    requestCheck = [this](const std::string& mailbox, bool beep) {
        if (m_poller) m_poller->checkNewMail(mailbox, beep);
    };
}

void MailDriver::setProcesses(ProcessLauncher& launcher, ChildWatch& watch) {
    m_launcher = &launcher;
    m_watch = &watch;
}

ProcessLauncher& MailDriver::launcher() { return m_launcher ? *m_launcher : processLauncher(); }

void MailDriver::startPolling() {
    MailPoller::Hooks h;
    h.newMailMsg = [this] { newMailMsg(); };
    h.beep = [] { panels().beep(); };
    h.noNewMail = [this] { reportCheck(localized(kUITable, "No new mail")); };
    h.fetchBusy = [this] { reportCheck(localized(kUITable, "New mail is still being fetched")); };
    h.fetchFailed = [this](const std::string& why) {
        reportCheck(
            formatString(localized(kUITable, "Could not fetch new mail: %s").c_str(), why.c_str()));
    };
    h.fileFailed = [](const Status& status) { tellUser(panels(), status); };
    h.incomingMail = [this](int n) { incomingMail(n); };
    h.incomingDone = [this] { incomingDone(); };
    h.activeWindowShown = [this] { return activeMailboxWindow() != nullptr; };
    h.incorporateActive = [this] {
        if (MailWindowController* w = activeMailboxWindow()) w->incorporateMail();
    };
    h.mailWindows = [this] {
        std::vector<MailPoller::Hooks::Window> windows;
        for (const auto& w : m_mailWindows) {
            std::weak_ptr<MailWindowController> weak = w;
            windows.push_back({w->mailboxPath(), [weak] {
                                   if (auto alive = weak.lock()) alive->incorporateMail();
                               }});
        }
        return windows;
    };
    m_poller = std::make_unique<MailPoller>(std::move(h), mailContext(), launcher());
    m_poller->initMailInfo();
    m_poller->bootCheckIn();
    m_poller->start();
}

void MailDriver::stopPolling() { m_poller.reset(); }

void MailDriver::checkNewMail(bool beep) {
    if (beep) reportCheck(localized(kUITable, "Checking for new mail..."));
    requestCheck(Defaults::shared().activeMailbox(), beep);
}

void MailDriver::reportCheck(const std::string& text) {
    if (MailWindowController* w = activeMailboxWindow()) w->showCheckResult(text);
}

void MailDriver::applicationDidFinishLaunching() {
    if (Defaults::shared().autoLaunch() && m_shell && m_shell->hideApplication()) {
        m_hiddenAtLaunch = true;
        return;
    }
    if (m_lastOpened.empty()) openMbox(Defaults::shared().activeMailbox());
    if (m_mailWindows.empty() && m_shell) m_shell->showLauncher();
}

void MailDriver::applicationDidUnhide() {
    if (!m_hiddenAtLaunch) return;
    m_hiddenAtLaunch = false;
    if (!activeMailboxWindow()) openMbox(Defaults::shared().activeMailbox());
    if (m_mailWindows.empty() && m_shell) m_shell->showLauncher();
    checkNewMail(false);
}

void MailDriver::initialCheck() {
    if (m_poller) m_poller->initialCheck(Defaults::shared().autoLaunch());
}

void MailDriver::incomingMail(int count) {
    if (m_shell) m_shell->setIconText(formatString("+%d", count));
}

void MailDriver::incomingDone() { updateNewMessageCount(); }

MailDriver& MailDriver::shared() {
    static MailDriver instance;
    return instance;
}

void MailDriver::reset() {
    m_tempDir.clear();
    m_workingDir.clear();
    m_lastOpened.clear();
    m_mailWindows.clear();
    m_composeWindows.clear();
    m_newMail = false;
    m_animationFrame = -1;
    m_soundFailureShown = false;
    m_signalCount = 0;
    m_stageDone = 0;
    m_quitting = false;
    m_hiddenAtLaunch = false;
    m_tmpRoot = "/tmp";
    m_frameInterval = std::chrono::milliseconds(500);
    m_shell = nullptr;
    m_poller.reset();
    m_fetcher.reset();
    installDefaultHooks();
}

bool MailDriver::startUp() {
    mode_t mask = ::umask(022);  // read the mask without changing it
    ::umask(mask);
    m_tempDir = makeTemporaryDirectory();
    Defaults& d = Defaults::shared();
    m_helpers = {resolveHelperProgram(d.uuencoder()), resolveHelperProgram(d.tarCommand()),
                 resolveHelperProgram(d.compressCommand()),
                 resolveHelperProgram(d.uncompressCommand())};
    return checkMailDirectory();
}

std::string MailDriver::makeTemporaryDirectory() {
    std::string path = m_tmpRoot + "/" + currentUser().loginName;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 07777) == 0700 &&
        st.st_uid == ::getuid()) {
        return path;
    }
    // Someone else's, a file, a link, or a directory others can enter: never
    // share it. The fresh one is made here, not merely found free.
    if (!createUniqueDirectory(path, 0700))
        logError(kProgramName, "cannot create %s", path.c_str());
    return path;
}

bool MailDriver::checkMailDirectory() {
    Defaults& d = Defaults::shared();
    std::string path = d.mailDirectory();
    if (d.mailDir() == kDefaultMailDir && !isDirectory(path)) mkdirs(path, 0700);
    while (::chdir(path.c_str()) != 0) {
        int answer = runAlert(kProgramName, "The mailboxes directory %s is invalid.",
                              "Select Another", "Quit", nullptr, path.c_str());
        if (answer != kAlertDefault) return false;
        auto chosen = panels().runOpenPanel({"Open Mail Directory", "", true, false});
        if (chosen.empty()) return false;
        d.setMailDir(chosen.front());
        path = chosen.front();
    }
    m_workingDir = currentDirectory();
    return true;
}

void MailDriver::addMailWindow(std::shared_ptr<MailWindowController> window) {
    m_mailWindows.push_back(std::move(window));
}

void MailDriver::removeMailWindow(const MailWindowController* window) {
    std::erase_if(m_mailWindows, [&](const auto& w) { return w.get() == window; });
}

void MailDriver::addComposeWindow(std::shared_ptr<ComposeController> window) {
    m_composeWindows.push_back(std::move(window));
}

void MailDriver::removeComposeWindow(const ComposeController* window) {
    std::erase_if(m_composeWindows, [&](const auto& w) { return w.get() == window; });
}

std::string MailDriver::fullMailboxPath(const std::string& given) const {
    std::string path = expandTilde(given);
    if (path.empty() || path[0] == '/') return path;
    return formatString("%s/%s", m_workingDir.c_str(), path.c_str());
}

MailWindowController* MailDriver::findToc(const std::string& path, bool order) {
    std::string full = fullMailboxPath(path);
    for (const auto& w : m_mailWindows) {
        if (w->mailboxPath() == full) {
            if (order) w->orderFront();
            return w.get();
        }
    }
    return nullptr;
}

MailWindowController* MailDriver::openMbox(const std::string& path) {
    if (!m_shell) return nullptr;
    auto window = m_shell->openMailboxWindow(fullMailboxPath(path));
    if (!window) return nullptr;
    addMailWindow(window);
    return window.get();
}

bool MailDriver::openFile(const std::string& path) {
    auto endsWith = [&](const char* ext) {
        size_t n = std::strlen(ext);
        return path.size() >= n && path.compare(path.size() - n, n, ext) == 0;
    };
    // Voice annotations belong to a component this build lacks.
    if (endsWith(".vox")) return false;
    if (endsWith(".external-body")) return mimeFetcher().openExternalBodyForFile(path);
    if (findToc(path, true)) return true;
    if (!openMbox(path)) return false;
    m_lastOpened = path;
    return true;
}

MimeFetcher& MailDriver::mimeFetcher() {
    if (!m_fetcher) m_fetcher = std::make_unique<MimeFetcher>(launcher(), m_tempDir);
    return *m_fetcher;
}

MailWindowController* MailDriver::activeMailboxWindow() {
    return findToc(Defaults::shared().activeMailbox(), false);
}

void MailDriver::newMailMsg() {
    if (!m_newMail) {
        m_newMail = true;
        notifyToc();
        updateNewMessageCount();
        postNewMail();
    } else {
        updateNewMessageCount();
    }
}

void MailDriver::notifyToc() {
    for (const auto& w : m_mailWindows) w->haveNewMail();
    m_animationFrame = -1;
    if (m_shell) m_shell->setIconFrame(m_newMail ? 1 : 0);
}

void MailDriver::updateNewMessageCount() {
    if (!m_shell || !m_shell->canShowIconText()) return;
    Defaults& d = Defaults::shared();
    if (!d.showIconCount()) {
        m_shell->setIconText("");
        return;
    }
    int count = 0;
    if (MailWindowController* active = activeMailboxWindow()) count += active->newMessageCount();
    if (!d.autoFetch()) count += spoolCount();
    m_shell->setIconText(count > 0 ? formatString("%d", count) : "");
}

int MailDriver::countSpoolMessages(const std::string& spoolPath) {
    UniqueFile f = UniqueFile::open(spoolPath, "r");
    if (!f) return 0;
    char line[512];
    bool previousEmpty = true;  // the first line counts as if after an empty one
    int count = 0;
    while (std::fgets(line, sizeof line, f.get())) {
        if (previousEmpty && std::strncmp(line, "From ", 5) == 0) ++count;
        previousEmpty = std::strcmp(line, "\n") == 0;
    }
    return count;
}

int MailDriver::spoolCount() const { return countSpoolMessages(Defaults::shared().spoolFile()); }

void MailDriver::postNewMail() {
    std::string sound = Defaults::shared().mailSound();
    if (!sound.empty() && m_shell && !m_shell->playSound(sound) && !m_soundFailureShown) {
        m_soundFailureShown = true;
        runAlert(kProgramName,
                 "Could not play sound file %s.  Please reset the new mail sound in the "
                 "Preference panel.",
                 "OK", nullptr, nullptr, sound.c_str());
    }
    if (animating()) return;
    m_animationFrame = 0;
    runLoop().performAfter(m_frameInterval, [this] { paintNextFrame(); });
}

void MailDriver::paintNextFrame() {
    if (m_animationFrame < 0) return;  // stopped by notifyToc
    if (m_shell) m_shell->setIconFrame(kAnimationFrames[m_animationFrame] % 3);
    if (++m_animationFrame >= static_cast<int>(std::size(kAnimationFrames))) {
        m_animationFrame = -1;
        return;
    }
    runLoop().performAfter(m_frameInterval, [this] { paintNextFrame(); });
}

std::vector<std::string> MailDriver::bundleDirectories() const {
    return {currentUser().homeDir + "/Library/Quill",
            formatString("%s%s/Quill", "/usr/local/tessel", "/Library")};
}

int MailDriver::loadBundles() {
    if (!Defaults::shared().loadBundles()) {
        logRaw("[Quill: Bundle loading disabled]\n");
        return 0;
    }
    int loaded = 0;
    for (const auto& dir : bundleDirectories()) {
        std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
        if (!d) continue;
        while (dirent* e = ::readdir(d.get())) {
            std::string name = e->d_name;
            if (name.size() < 8 || name.compare(name.size() - 7, 7, ".bundle") != 0) continue;
            std::string bundle = dir + "/" + name;
            std::string library = bundle + "/" + name.substr(0, name.size() - 7) + ".so";
            void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
            auto entry = handle ? reinterpret_cast<void (*)(MailDriver&)>(
                                      ::dlsym(handle, "quillRegisterBundle"))
                                : nullptr;
            if (!entry) {
                logRaw(formatString("*** Could not load Quill module %s\n", bundle.c_str()));
                if (handle) ::dlclose(handle);
                continue;
            }
            entry(*this);
            ++loaded;
        }
    }
    return loaded;
}

void MailDriver::terminationSignal(int signo) {
    int n = ++m_signalCount;
    // Each stage runs once; a stage that returns falls through to the next, and a
    // signal arriving meanwhile takes the road from its own stage on.
    for (int stage = n; stage <= 3; ++stage) {
        // Once the quit has handed over to the platform's termination, only a
        // further signal moves on to the next stage.
        if (stage <= m_stageDone || (stage > n && m_quitting)) return;
        m_stageDone = stage;
        runTerminationStage(stage, signo);
    }
}

void MailDriver::runTerminationStage(int stage, int signo) {
    if (stage == 1) {
        logRaw(formatString("Caught signal #%d; terminating safely\n", signo));
        terminateSafely();
    } else if (stage == 2) {
        logRaw(formatString("Recaught signal #%d; quitting cleanly\n", signo));
        realQuit();
    } else {
        logRaw(formatString("Recaught signal #%d; exiting fast\n", signo));
        exitProcess(1);
    }
}

bool MailDriver::anyEdits() const {
    return std::any_of(m_composeWindows.begin(), m_composeWindows.end(),
                       [](const auto& w) { return w->hasEdits(); });
}

bool MailDriver::maybeSaveDrafts() {
    if (!anyEdits()) return true;
    int answer = runAlert(nullptr, "There are unsent Compose windows.", "Review Unsent",
                          "Quit Anyway", "Cancel");
    if (answer == kAlertAlternate) return true;
    if (answer == kAlertOther) return false;
    auto windows = m_composeWindows;  // saving may close windows
    for (const auto& w : windows) {
        if (!w->hasEdits()) continue;
        w->orderFront();
        std::string subject = w->subject();
        int save = subject.empty()
                       ? runAlert(nullptr, "Save untitled draft?", "Save", "Don't Save", "Cancel")
                       : runAlert(nullptr, "Save draft entitled \"%s\"?", "Save", "Don't Save",
                                  "Cancel", subject.c_str());
        if (save == kAlertOther) return false;
        if (save == kAlertDefault) w->saveDraft();
    }
    return true;
}

void MailDriver::terminate() {
    if (maybeSaveDrafts()) realQuit();
}

void MailDriver::terminateSafely() {
    if (anyEdits()) {
        logRaw("[Quill: Autosaving drafts...]\n");
        auto windows = m_composeWindows;
        for (const auto& w : windows) {
            if (w->hasEdits()) w->saveDraft();
        }
    }
    realQuit();
}

// Private entries changed since the last save are kept at quit.
void MailDriver::savePrivateAliases() {
    Alias& alias = Alias::shared();
    if (!alias.loaded() || !alias.privateAliases().modified()) return;
    if (!alias.privateAliases().savePrivateUsers())
        logWarning("Alias", "Unable to save private users to %s",
                   alias.privateAliases().path().c_str());
}

void MailDriver::realQuit() {
    if (m_quitting) return;  // a signal already took the quit this far
    stopPolling();
    beforeWindowsClose();
    auto windows = m_mailWindows;
    for (const auto& w : windows) w->closeWindow();
    m_mailWindows.clear();
    savePrivateAliases();
    // A mailer still delivering keeps the quit waiting, a second at a time.
    for (pid_t pid = firstImportantPid(); pid > 0; pid = firstImportantPid()) {
        int status = 0;
        if (launcher().tryWait(pid, status) == 0) {
            runLoop().runUntil([] { return false; }, std::chrono::milliseconds(1000));
            continue;
        }
        forgetImportantPid(pid, 0);
    }
    m_quitting = true;
    if (m_shell) m_shell->terminateApplication();
}

}  // namespace quill

#include "newmail/MailPoller.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <sstream>

#include "base/Diagnostics.h"
#include "newmail/IncomingFiles.h"
#include "newmail/Incorporation.h"
#include "newmail/SpoolFetcher.h"
#include "platform/NameService.h"
#include "platform/UserInfo.h"
#include "platform/resources.h"
#include "process/RunCommand.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

constexpr std::time_t kFetchGraceSeconds = 20;
constexpr auto kQuickCheckDelay = std::chrono::seconds(10);
constexpr auto kMainThreadPatience = std::chrono::seconds(5);
// Result codes of the fetch program that mean a file could not be written.
constexpr int kFileErrorResults[] = {1, 2, 4, 5, 6, 8, 10, 11, 12, 16, 17};
// Answers of the remote look-up ("QuillFetch --look-up").
constexpr int kLookUpNotFound = 1;
constexpr int kRemoteShellFailed = 255;

long fileSize(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

std::string mailboxDirectory(const MailPoller::Context& c) {
    if (!c.activeMailbox.empty() && c.activeMailbox[0] == '/') return c.activeMailbox;
    return c.mailDir + "/" + c.activeMailbox;
}

std::string fetchServiceName(const MailPoller::Context& c) { return "QuillFetch for " + c.login; }

bool isFileErrorResult(int code) {
    for (int e : kFileErrorResults) {
        if (e == code) return true;
    }
    return false;
}

void writeError(const char* text) {
    ssize_t ignored = ::write(2, text, std::strlen(text));
    (void)ignored;
}

}  // namespace

MailPoller::MailPoller(Hooks hooks, const MailContext& services, ProcessLauncher& launcher)
    : m_hooks(std::move(hooks)),
      m_services(services),
      m_launcher(launcher),
      m_clock([] { return std::time(nullptr); }),
      m_alive(std::make_shared<std::atomic<bool>>(true)) {}

MailPoller::~MailPoller() {
    *m_alive = false;
    stop();
    if (m_portWatch) m_services.runLoop.unwatch(m_portWatch);
    if (m_checkTimer) m_services.runLoop.cancel(m_checkTimer);
    if (m_port) NameService::checkOut(m_context.fetchPortName);
}

MailPoller::Context MailPoller::context() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_context;
}

void MailPoller::updateContext(const std::function<void(Context&)>& change) {
    std::lock_guard<std::mutex> hold(m_mutex);
    change(m_context);
}

void MailPoller::setFetchProgram(std::string path) {
    updateContext([&](Context& c) { c.fetchProgram = std::move(path); });
}

void MailPoller::setRsh(std::string path) {
    updateContext([&](Context& c) { c.rsh = std::move(path); });
}

void MailPoller::initMailInfo() {
    Defaults& d = m_services.defaults;
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    std::string remote = d.remoteFetch();
    ::srandom(static_cast<unsigned>(std::time(nullptr)));
    long number = ::random();
    std::string login = currentUser().loginName;
    updateContext([&](Context& c) {
        c.mailDir = d.mailDirectory();
        c.activeMailbox = expandTilde(d.activeMailbox());
        c.spoolFile = d.spoolFile();
        c.login = login;
        c.hostName = host;
        // "host" or "host:directory of QuillFetch there".
        c.remote = !remote.empty() && remote != "NO";
        std::size_t colon = remote.find(':');
        c.remoteHost = c.remote ? remote.substr(0, colon) : std::string();
        c.remotePath = c.remote && colon != std::string::npos
                           ? remote.substr(colon + 1)
                           : d.getString("RemoteFetchPath", nullptr).value_or(programDirectory());
        c.fetchPortName = formatString("%s_%s_%08lx", "FetchPort", login.c_str(), number);
        c.autoFetch = d.autoFetch();
        c.incAllMailboxes = d.incAllMailboxes();
        c.pollMinutes = d.pollTime();
    });
}

bool MailPoller::bootCheckIn() {
    if (checkInPort()) return true;
    logRaw("Quill: could not register port\n");
    return false;
}

void MailPoller::recheckinLocal() {
    if (m_portWatch) m_services.runLoop.unwatch(m_portWatch);
    m_portWatch = 0;
    m_port.reset();
    if (!NameService::checkOut(context().fetchPortName)) {
        logRaw("Quill: could not checkout port\n");
    }
    if (!checkInPort()) logRaw("Quill: could not checkin port\n");
}

bool MailPoller::checkInPort() {
    m_port = NameService::checkIn(context().fetchPortName);
    if (!m_port) return false;
    m_portWatch = m_services.runLoop.watchReadable(m_port.get(), [this] { readFetchPort(); });
    return true;
}

void MailPoller::readFetchPort() {
    PortMessage message;
    while (m_port && NameService::receive(m_port.get(), message.msgid, message.data)) {
        handleMsg(message);
    }
}

void MailPoller::start() {
    if (m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_stopping = false;
    }
    m_thread = std::thread([this] { pollMail(); });
}

void MailPoller::stop() {
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void MailPoller::post(int msgid, bool beep) {
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_queue.push_back({msgid, beep});
    }
    m_wake.notify_all();
}

void MailPoller::checkNewMail(const std::string& mailbox, bool beep) {
    if (!mailbox.empty())
        updateContext([&](Context& c) { c.activeMailbox = expandTilde(mailbox); });
    post(kPollCheckMsg, beep);
}

void MailPoller::initialPoll() { post(kPollInitialMsg, false); }

void MailPoller::initialCheck(bool autoLaunched) {
    if (autoLaunched) {
        initialPoll();
    } else {
        quickCheck();
    }
}

void MailPoller::quickCheck() { checkNewMail(std::string(), false); }

void MailPoller::checkForMail() {
    if (m_checkPending) return;
    m_checkPending = true;
    m_checkTimer = m_services.runLoop.performAfter(kQuickCheckDelay, [this] {
        m_checkPending = false;
        m_checkTimer = 0;
        quickCheck();
    });
}

void MailPoller::pollMail() {
    for (;;) {
        ThreadMessage message{0, false};
        {
            std::unique_lock<std::mutex> hold(m_mutex);
            if (m_context.fetchProgram.empty())
                m_context.fetchProgram = getResourceDir("QuillFetch");
            auto wait = std::chrono::minutes(std::max(1, m_context.pollMinutes));
            m_wake.wait_for(hold, wait, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping) return;
            if (!m_queue.empty()) {
                message = m_queue.front();
                m_queue.pop_front();
            }
        }
        checkMail(message.msgid == kPollCheckMsg && message.beep);
    }
}

bool MailPoller::mailWaiting(const Context& c) const {
    std::string dir = mailboxDirectory(c);
    return fileSize(c.spoolFile) > 0 || fileSize(dir + "/" + kSpoolCopy) > 0 ||
           fileSize(dir + "/" + kIncomingMail) > 0;
}

void MailPoller::checkMail(bool userAsked) {
    Context c = context();
    if (!mailWaiting(c)) {
        if (userAsked) toMain(kFetchNothingMsg);
        return;
    }
    if (!c.autoFetch && !userAsked) {
        toMain(kFetchWaitingMsg);
        return;
    }
    int ignored = 0;
    if (c.fetchPid > 0) m_launcher.tryWait(c.fetchPid, ignored);  // no zombie left behind
    if (c.fetchPid != -1) {
        if (m_clock() - c.lastFetchTime < kFetchGraceSeconds) {
            if (userAsked) toMain(kFetchBusyMsg);
            return;
        }
        if (c.started && fetchServiceFound(c)) {
            if (userAsked) toMain(kFetchBusyMsg);
            return;
        }
        writeError("Quill: forcing local fetch\n");
        forceLocal(c);
    }
    if (!activeWindowShown()) {
        toMain(kFetchWaitingMsg);
        return;
    }
    startFetch(c);
}

void MailPoller::forceLocal(Context& c) {
    c.remote = false;
    c.started = false;
    c.fetchPid = -1;
    updateContext([](Context& m) {
        m.remote = false;
        m.started = false;
        m.fetchPid = -1;
    });
    m_services.runLoop.post([this, alive = m_alive] {
        if (*alive) recheckinLocal();
    });
}

// Whether a fetch program is registered, here or on the remote host.
bool MailPoller::fetchServiceFound(Context& c) {
    if (!c.remote) {
        bool found = NameService::lookUp(fetchServiceName(c));
        if (found) writeError("Quill: QuillFetch already running.\n");
        return found;
    }
    std::ostringstream ignored;
    std::string command = formatString("%s/QuillFetch --look-up %s", c.remotePath.c_str(),
                                       shellQuote(c.login).c_str());
    int status =
        RunCommand(m_launcher).runPipe({{c.rsh, c.remoteHost, command}}, nullptr, &ignored);
    if (status == 0) {
        logRaw(
            formatString("Quill: QuillFetch already running on host: %s\n", c.remoteHost.c_str()));
        return true;
    }
    if (status == kRemoteShellFailed || status == 127) {
        logRaw(formatString("Quill: Cannot fetch mail on host: %s\n", c.remoteHost.c_str()));
        forceLocal(c);
        return fetchServiceFound(c);
    }
    if (status != kLookUpNotFound) {
        logRaw(formatString("Quill: QuillFetch error looking up QuillFetch for host: %s\n",
                            c.remoteHost.c_str()));
    }
    return false;
}

void MailPoller::startFetch(Context& c) {
    if (fetchServiceFound(c)) {
        toMain(kFetchBeepMsg);
        return;
    }
    LaunchRequest request;
    if (c.remote) {
        request.argv = {
            c.rsh, c.remoteHost,
            formatString("%s/QuillFetch %s %s %s %s '%s/%s'; sync; sync\n", c.remotePath.c_str(),
                         c.spoolFile.c_str(), c.login.c_str(), c.hostName.c_str(),
                         c.fetchPortName.c_str(), c.mailDir.c_str(), c.activeMailbox.c_str())};
        request.stdio[1] = kPipeStream;
    } else {
        request.argv = {c.fetchProgram, c.spoolFile, c.login, "", c.fetchPortName};
        request.directory = mailboxDirectory(c);
    }
    request.program = request.argv[0];
    request.failureLabel = request.argv[0];
    // Held over the launch so that a fast fetch's 1004 and 1000 find the new pid.
    std::lock_guard<std::mutex> hold(m_mutex);
    m_context.lastFetchTime = m_clock();
    m_context.started = false;
    LaunchedChild child = m_launcher.launch(request);
    if (!child.started()) return;
    m_launcher.watchExit(child.pid, nullptr);
    m_context.fetchPid = child.pid;
    if (child.output) watchRemoteOutput(child.output.release());
}

// A remote fetch program's reports come back as lines on the remote shell's output.
void MailPoller::watchRemoteOutput(int fd) {
    m_services.runLoop.post([this, fd, alive = m_alive] {
        if (!*alive) {
            ::close(fd);
            return;
        }
        auto id = std::make_shared<RunLoop::Id>(0);
        *id = m_services.runLoop.watchReadable(fd, [this, fd, id, alive] {
            char buffer[512];
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) return;
            if (n <= 0 || !*alive) {
                m_services.runLoop.unwatch(*id);
                ::close(fd);
                return;
            }
            m_remoteLines.append(buffer, static_cast<std::size_t>(n));
            readRemoteOutput(fd);
        });
    });
}

void MailPoller::readRemoteOutput(int) {
    for (std::size_t nl; (nl = m_remoteLines.find('\n')) != std::string::npos;) {
        std::string line = m_remoteLines.substr(0, nl);
        m_remoteLines.erase(0, nl + 1);
        int msgid = 0, value = 0, error = 0;
        if (std::sscanf(line.c_str(), "QuillFetch %d %d %d", &msgid, &value, &error) == 3) {
            handleMsg({msgid, NameService::words(value, error)});
        }
    }
}

bool MailPoller::activeWindowShown() {
    if (!m_hooks.activeWindowShown) return false;
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> shown = answer->get_future();
    m_services.runLoop.post([this, answer, alive = m_alive] {
        answer->set_value(*alive && m_hooks.activeWindowShown());
    });
    return shown.wait_for(kMainThreadPatience) == std::future_status::ready && shown.get();
}

void MailPoller::toMain(int msgid, std::int32_t value, std::int32_t error) {
    PortMessage message{msgid, NameService::words(value, error)};
    m_services.runLoop.post([this, message, alive = m_alive] {
        if (*alive) handleMsg(message);
    });
}

void MailPoller::handleMsg(const PortMessage& message) {
    std::int32_t value = NameService::wordAt(message.data, 0);
    std::int32_t error = NameService::wordAt(message.data, 1);
    auto call = [](const auto& hook, auto... args) {
        if (hook) hook(args...);
    };
    switch (message.msgid) {
        case kFetchDoneMsg:
            updateContext([](Context& c) {
                c.fetchPid = -1;
                c.started = false;
            });
            call(m_hooks.incomingDone);
            handleDone(value, error);
            break;
        case kFetchWaitingMsg:
            call(m_hooks.incomingDone);
            call(m_hooks.newMailMsg);
            break;
        case kFetchBeepMsg:
            call(m_hooks.beep);
            break;
        case kFetchNothingMsg:
            call(m_hooks.beep);
            call(m_hooks.noNewMail);
            break;
        case kFetchBusyMsg:
            call(m_hooks.beep);
            call(m_hooks.fetchBusy);
            break;
        case kFetchProgressMsg:
            call(m_hooks.incomingMail, value);
            break;
        case kFetchStartedMsg:
            updateContext([](Context& c) { c.started = true; });
            break;
        default:
            break;
    }
}

// A completion that arrives while one is handled (an alert runs the event
// loop) is remembered and handled once more when the running one ends.
void MailPoller::handleDone(std::int32_t code, std::int32_t error) {
    if (m_depth > 0) {
        m_pending = true;
        return;
    }
    ++m_depth;
    incorporate(code, error);
    while (m_pending) {
        m_pending = false;
        incorporate(code, error);
    }
    --m_depth;
}

void MailPoller::incorporate(std::int32_t code, std::int32_t error) {
    ++m_incorporations;
    Context c = context();
    if (code == kFetchDone) {
        if (c.incAllMailboxes) {
            incorporateNewMail();
        } else if (m_hooks.incorporateActive) {
            m_hooks.incorporateActive();
        }
        if (c.autoFetch && m_hooks.newMailMsg) m_hooks.newMailMsg();
    } else if (isFileErrorResult(code)) {
        if (m_hooks.fetchFailed) m_hooks.fetchFailed(std::strerror(error));
        if (m_hooks.fileFailed)
            m_hooks.fileFailed(Status::fileFailure(kFileWrite, c.activeMailbox, error));
    }
}

int MailPoller::incorporateNewMail() {
    if (!m_hooks.mailWindows) return 0;
    std::vector<Hooks::Window> windows = m_hooks.mailWindows();
    for (const Hooks::Window& w : windows) {
        if (Incorporation::incomingIdle(w.mailboxPath) && w.incorporate) w.incorporate();
    }
    return static_cast<int>(windows.size());
}

}  // namespace quill

#include "app/MimeFetcher.h"

#include <netdb.h>
#include <poll.h>
#include <resolv.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "compose/Mailer.h"
#include "message/StringList.h"
#include "message/date.h"
#include "platform/Panels.h"
#include "platform/UserInfo.h"
#include "platform/Workspace.h"
#include "settings/Defaults.h"

namespace quill {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::optional<std::string> parameter(const MimeMessage& part, std::string_view name) {
    const std::string* value = part.mimeParameters().valueForKey(name);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

// A value from mail that goes into an ftp command: no line end may start
// another command and no quote may end the word early.
bool safeFtpWord(const std::string& value) {
    for (unsigned char c : value)
        if (c < 0x20 || c == 0x7f || c == '"') return false;
    return value.empty() || value[0] != '!';
}

// A site is one argument of the client: never an option, never blank.
bool safeSite(const std::string& site) {
    if (site.empty() || site[0] == '-') return false;
    for (unsigned char c : site)
        if (c <= 0x20 || c == 0x7f) return false;
    return true;
}

// A request address from mail is one argument of the mailer: never an option.
bool safeAddress(const std::string& address) {
    if (address.empty() || address[0] == '-') return false;
    for (unsigned char c : address)
        if (c < 0x20 || c == 0x7f) return false;
    return true;
}

std::string lastComponent(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    return name.empty() || name == "." || name == ".." ? "mimefetch" : name;
}

std::string fullHostName() {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::string name = host;
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) == 0 && found) {
        if (found->ai_canonname) name = found->ai_canonname;
        freeaddrinfo(found);
    }
    if (name.find('.') == std::string::npos) {
        res_init();
        if (_res.defdname[0]) name += std::string(".") + _res.defdname;
    }
    return name;
}

}  // namespace

MimeFetcher::MimeFetcher(ProcessLauncher& launcher, std::string temporaryDirectory)
    : m_launcher(launcher), m_tempDir(std::move(temporaryDirectory)) {}

std::string MimeFetcher::questionText(bool byMail, long long size) {
    std::string sizeText =
        size >= 1 ? formatString("Its size is %s.", sizeString(size).c_str()) : "";
    return formatString(
        "This is an external MIME attachment that has to be retrieved %s.  Would you like to get "
        "it now?  %s",
        byMail ? "by mail" : "over the network", sizeText.c_str());
}

bool MimeFetcher::openExternalBodyForFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string bytes = text.str();
    ByteSource source(bytes);
    std::unique_ptr<MimeMessage> part = in ? MimeMessage::initFromStream(source) : nullptr;
    if (!part) {
        runAlert(m_waitTitle.c_str(), "Could not open external MIME attachment.", "OK", nullptr,
                 nullptr);
        return false;
    }
    long long size = std::atoll(parameter(*part, "size").value_or("0").c_str());
    bool byMail = equalsIgnoringCase(parameter(*part, "access-type").value_or(""), "mail-server");
    if (runAlert(m_waitTitle.c_str(), "%s", "OK", "Cancel", nullptr,
                 questionText(byMail, size).c_str()) != kAlertDefault)
        return false;
    std::optional<std::string> fetched = fetchExternalBodyFor(*part);
    if (!fetched) {
        runAlert(m_waitTitle.c_str(), "Could not retrieve external attachment.", "OK", nullptr,
                 nullptr);
        return false;
    }
    // The data itself comes later as a new message; nothing here is opened.
    if (byMail) {
        unlink(fetched->c_str());
        return true;
    }
    if (workspace().openFile(*fetched)) return true;
    unlink(fetched->c_str());
    return false;
}

std::optional<std::string> MimeFetcher::fetchExternalBodyFor(const MimeMessage& part) {
    // Only the last component of the name is used, so the file stays in our directory.
    std::string target =
        m_tempDir + "/" + lastComponent(parameter(part, "name").value_or("/tmp/mimefetch"));
    mkuniquefile(target);
    if (fetchBodyFor(part, target)) return target;
    unlink(target.c_str());
    return std::nullopt;
}

bool MimeFetcher::fetchBodyFor(const MimeMessage& part, const std::string& target) {
    std::optional<std::string> access = parameter(part, "access-type");
    if (!access) {
        std::fputs("MimeFetcher: No ACCESS-TYPE in MIME parameters\n", stderr);
        return false;
    }
    if (equalsIgnoringCase(*access, "ftp")) return fetchFTP(part, target, false);
    if (equalsIgnoringCase(*access, "anon-ftp")) return fetchFTP(part, target, true);
    if (equalsIgnoringCase(*access, "mail-server")) return fetchMailServer(part);
    if (equalsIgnoringCase(*access, "local-file")) return fetchLocalFile(part, target);
    std::fprintf(stderr, "MimeFetcher: ACCESS-TYPE %s is not supported\n", access->c_str());
    return false;
}

bool MimeFetcher::fetchFTP(const MimeMessage& part, const std::string& target, bool anonymous) {
    std::optional<std::string> site = parameter(part, "site");
    if (!site) {
        std::fputs("MimeFetcher: No SITE in MIME parameters\n", stderr);
        return false;
    }
    std::optional<std::string> userPass = anonymous ? anonUserPass() : credentialsFor(*site);
    if (!userPass) {
        std::fprintf(stderr, "MimeFetcher: No known username and password for %s\n", site->c_str());
        return false;
    }
    return ftpFrom(*site, parameter(part, "directory").value_or(""),
                   parameter(part, "name").value_or(""), parameter(part, "mode").value_or(""),
                   userPass, target);
}

bool MimeFetcher::fetchMailServer(const MimeMessage& part) {
    std::optional<std::string> server = parameter(part, "server");
    if (!server) {
        std::fputs("MimeFetcher: No SERVER in MIME parameters\n", stderr);
        return false;
    }
    if (!safeAddress(*server)) {
        logWarning("MimeFetcher", "refusing the request address %s", server->c_str());
        return false;
    }
    std::string path = m_tempDir + "/mimefetch";
    UniqueFd file = createUniqueFile(path, 0600);
    if (!file) return false;
    bool written = writeAll(file.get(), requestMessage(part)) && ::close(file.release()) == 0;
    StringList recipients;
    recipients.addString(*server);
    bool sent =
        written && Mailer::deliverMail(path, recipients, m_launcher, Defaults::shared(), nullptr);
    unlink(path.c_str());
    if (!sent) return false;
    runAlert(m_waitTitle.c_str(),
             "A request for the document has been sent to %s.  It will shortly be returned to "
             "you by mail.",
             "OK", nullptr, nullptr, server->c_str());
    return true;
}

std::string MimeFetcher::requestMessage(const MimeMessage& part) {
    ByteSource body(part.bodyView());
    std::unique_ptr<MailMessage> request = MailMessage::initFromStream(body);
    if (!request) return "";
    if (std::optional<std::string> subject = parameter(part, "Subject");
        subject && !subject->empty()) {
        // A line end from mail would start a header of the sender's choosing.
        std::replace_if(
            subject->begin(), subject->end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        request->setHeaderKey("Subject", *subject);
    }
    if (std::string replyTo = Defaults::shared().replyTo(); !replyTo.empty())
        request->setHeaderKey("Reply-To", replyTo);
    ByteSink sink;
    request->writeToStream(sink);
    return sink.take();
}

bool MimeFetcher::fetchLocalFile(const MimeMessage& part, const std::string& target) {
    std::optional<std::string> name = parameter(part, "name");
    if (!name) {
        std::fputs("MimeFetcher: No NAME in MIME parameters\n", stderr);
        return false;
    }
    return symlink(name->c_str(), target.c_str()) == 0;
}

const std::string& MimeFetcher::anonUserPass() {
    static const std::string text = "anonymous " + currentUser().loginName + "@" + fullHostName();
    return text;
}

std::optional<std::string> MimeFetcher::credentialsFor(const std::string& site) {
    if (auto known = m_credentials.find(site); known != m_credentials.end()) return known->second;
    if (!m_loginPanel) return std::nullopt;
    std::optional<Login> login = m_loginPanel(site, currentUser().loginName);
    if (!login || login->user.empty() || login->password.empty()) return std::nullopt;
    return m_credentials[site] = login->user + " " + login->password;
}

std::string MimeFetcher::ftpScript(const std::string& userPass, const std::string& directory,
                                   const std::string& filename, const std::string& mode,
                                   const std::string& target) {
    std::string script = "user " + userPass + "\n";
    if (!mode.empty())
        script += "type " + (equalsIgnoringCase(mode, "local8") ? "binary" : mode) + "\n";
    if (!directory.empty()) script += "cd \"" + directory + "\"\n";
    script += "verbose\nquote size \"" + filename + "\"\nverbose\n";
    script += "get \"" + filename + "\" \"" + target + "\"\nquit\n";
    return script;
}

bool MimeFetcher::ftpFrom(const std::string& site, const std::string& directory,
                          const std::string& filename, const std::string& mode,
                          const std::optional<std::string>& userPass, const std::string& target) {
    if (site.empty()) {
        std::fputs("MimeFetcher: No HOST in MIME parameters\n", stderr);
        return false;
    }
    if (!userPass) {
        resetCredentialsFor(site);
        return false;
    }
    if (!safeSite(site) || !safeFtpWord(directory) || !safeFtpWord(filename) || filename.empty() ||
        !safeFtpWord(mode) || !safeFtpWord(*userPass) || !safeFtpWord(target)) {
        logWarning("MimeFetcher", "refusing an external body with unusable parameters from %s",
                   site.c_str());
        return false;
    }
    m_waitTitle = formatString("Retrieving %s from %s", filename.c_str(), site.c_str());
    std::unique_ptr<ProgressPanel> wait = panels().beginProgress(m_waitTitle, "", true);
    m_loginFailed = false;
    int result = runTransfer(site, ftpScript(*userPass, directory, filename, mode, target), *wait);
    wait.reset();
    // The client ends well even when it could not connect; only the file tells.
    if (result == 1 && access(target.c_str(), F_OK) != 0) result = 2;
    if (result == 2)
        runAlert(m_waitTitle.c_str(), "An error occurred - see the the console for details.", "OK",
                 nullptr, nullptr);
    if (result == 3) {
        runAlert(m_waitTitle.c_str(), "Permission denied: Invalid username and/or password.", "OK",
                 nullptr, nullptr);
        resetCredentialsFor(site);
    }
    return result == 1;
}

int MimeFetcher::runTransfer(const std::string& site, const std::string& script,
                             ProgressPanel& wait) {
    LaunchRequest request;
    request.argv = {m_ftpProgram, "-n", "-i", "-g", site};
    request.stdio[0] = kPipeStream;
    request.stdio[1] = kPipeStream;
    request.stdio[2] = kJoinOutput;
    LaunchedChild child = m_launcher.launch(request);
    if (!child.started()) return 2;
    writeAll(child.input.get(), script);
    child.input.reset();
    std::string pending;
    bool finished = readTransferOutput(child.output.get(), pending, wait, child.pid);
    if (!finished) m_launcher.signalGroup(child.pid, SIGTERM);
    int status = m_launcher.wait(child.pid);
    if (!finished) return 0;
    if (m_loginFailed) return 3;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 2;
}

bool MimeFetcher::readTransferOutput(int fd, std::string& pending, ProgressPanel& wait, pid_t pid) {
    char chunk[4096];
    for (;;) {
        if (wait.cancelled()) return false;
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) return true;
        pending.append(chunk, static_cast<size_t>(n));
        // Only whole lines are looked at; a piece without its newline waits.
        for (size_t newline; (newline = pending.find('\n')) != std::string::npos;) {
            transferLine(pending.substr(0, newline), wait, pid);
            pending.erase(0, newline + 1);
        }
    }
}

void MimeFetcher::transferLine(const std::string& line, ProgressPanel& wait, pid_t pid) {
    int code = 0;
    long long size = 0;
    if (line.starts_with("Login incorrect")) {
        std::printf("-- killing child: %s\n", line.c_str());
        m_loginFailed = true;
        m_launcher.signalGroup(pid, SIGTERM);
    } else if (line.starts_with("Verbose mode")) {
        return;
    } else if (std::sscanf(line.c_str(), "%d %lld", &code, &size) == 2 && code == 213) {
        wait.setMessage(formatString("%lld", size));
    } else {
        std::printf("sub-ftp: %s\n", line.c_str());
    }
}

}  // namespace quill

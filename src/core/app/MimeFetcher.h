// MimeFetcher: retrieves the data a message/external-body part points at when
// the user opens it. It asks first, fetches by ftp with a login the user gives
// (remembered until Quill quits), by anonymous ftp, or from a local file, into
// a new file in Quill's temporary directory, and opens the result with the
// workspace; a mail-server body instead sends the request message it carries
// to the server through the mailer, and the data arrives later as mail. The ftp client is started
// directly with the site as one argument and reads its commands from a pipe; values from mail that
// could end or start an ftp command (line ends, quotes, a leading "!") are refused.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "message/MimeMessage.h"
#include "process/ProcessLauncher.h"

namespace quill {

class ProgressPanel;

class MimeFetcher {
  public:
    // Asks for a user name and password for site (the user field starts with
    // defaultUser); nothing when the user cancels.
    struct Login {
        std::string user;
        std::string password;
    };
    using LoginPanel = std::function<std::optional<Login>(const std::string& site,
                                                          const std::string& defaultUser)>;

    MimeFetcher(ProcessLauncher& launcher, std::string temporaryDirectory);

    void setLoginPanel(LoginPanel panel) { m_loginPanel = std::move(panel); }
    // The ftp client ("ftp" along the PATH unless set).
    void setFtpProgram(std::string program) { m_ftpProgram = std::move(program); }

    // The user opened the external-body part stored in path.
    bool openExternalBodyForFile(const std::string& path);
    // The retrieved file, or nothing.
    std::optional<std::string> fetchExternalBodyFor(const MimeMessage& part);
    bool fetchBodyFor(const MimeMessage& part, const std::string& target);

    bool ftpFrom(const std::string& site, const std::string& directory, const std::string& filename,
                 const std::string& mode, const std::optional<std::string>& userPass,
                 const std::string& target);
    // "anonymous login@host.domain".
    static const std::string& anonUserPass();
    std::optional<std::string> credentialsFor(const std::string& site);
    void resetCredentialsFor(const std::string& site) { m_credentials.erase(site); }
    void resetAllCredentials() { m_credentials.clear(); }

    // The ftp commands for one retrieval, each line ended by a newline.
    static std::string ftpScript(const std::string& userPass, const std::string& directory,
                                 const std::string& filename, const std::string& mode,
                                 const std::string& target);
    // The request a mail-server body sends: the message the part carries,
    // with the part's "Subject" and the user's "ReplyTo" as "Reply-To".
    static std::string requestMessage(const MimeMessage& part);
    // The question asked before fetching.
    static std::string questionText(bool byMail, long long size);

  private:
    bool fetchFTP(const MimeMessage& part, const std::string& target, bool anonymous);
    bool fetchMailServer(const MimeMessage& part);
    bool fetchLocalFile(const MimeMessage& part, const std::string& target);
    // Runs the client to its end: 1 done, 2 failed, 3 login refused, 0 cancelled.
    int runTransfer(const std::string& site, const std::string& script, ProgressPanel& wait);
    bool readTransferOutput(int fd, std::string& pending, ProgressPanel& wait, pid_t pid);
    void transferLine(const std::string& line, ProgressPanel& wait, pid_t pid);

    ProcessLauncher& m_launcher;
    std::string m_tempDir;
    std::string m_ftpProgram = "ftp";
    std::string m_waitTitle = "External Attachment";
    LoginPanel m_loginPanel;
    std::map<std::string, std::string> m_credentials;
    bool m_loginFailed = false;
};

}  // namespace quill

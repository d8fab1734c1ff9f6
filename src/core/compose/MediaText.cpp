#include "compose/MediaText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "compose/Send.h"
#include "platform/Localized.h"
#include "platform/Panels.h"
#include "platform/resources.h"
#include "process/RunCommand.h"
#include "richtext/TextView.h"
#include "settings/Defaults.h"

namespace quill {
namespace {

constexpr const char* kPasteTitle = "Paste File";

std::string lastComponent(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string thisHost() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

// The message with its one "%s" and then its object ("%@") filled in, so
// a path holding "%s" stays as it is.
std::string withObject(std::string message, const std::string& object, const std::string& text) {
    if (const size_t at = message.find("%s"); at != std::string::npos) message.replace(at, 2, text);
    if (const size_t at = message.find("%@"); at != std::string::npos)
        message.replace(at, 2, object);
    return message;
}

bool isDirectory(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool MediaText::addFileList(const std::vector<std::string>& paths) {
    if (!m_text.isPlainMode()) {
        addPathNames(paths);
        return true;
    }
    const int answer = runAlert(m_services.mail.panels, kPasteTitle,
                                "You can't add attachments to a plain text message.  Do you want "
                                "to paste the attachment's pathname or its encoded contents?",
                                "Paste Pathname", "Paste Encoded Contents", "Cancel");
    if (answer == kAlertOther) return false;
    if (answer == kAlertAlternate)
        addEncoded(paths);
    else
        addPathNames(paths);
    return true;
}

// Plain path names are kept apart from the words around them by one blank,
// never doubling white space that is already there.
void MediaText::addPathNames(const std::vector<std::string>& paths) {
    const bool plain = m_text.isPlainMode();
    for (const std::string& path : paths) {
        if (plain && m_text.selStart() > 0) blankUnlessSpaceAt(m_text.selStart() - 1);
        if (!addImport(path) || !plain) continue;
        if (m_text.selEnd() < m_text.textLength()) blankUnlessSpaceAt(m_text.selEnd());
    }
}

void MediaText::blankUnlessSpaceAt(size_t position) {
    if (std::isspace(static_cast<unsigned char>(m_text.plainText()[position]))) return;
    m_text.replaceSel(" ");
}

void MediaText::addEncoded(const std::vector<std::string>& paths) {
    for (size_t i = 0; i < paths.size(); ++i) {
        if (i > 0) m_text.replaceSel("\n");
        addEncodedContents(paths[i]);
    }
}

bool MediaText::addEncodedContents(const std::string& path) {
    std::string output;
    if (!runEncoder(path, output)) {
        runAlert(m_services.mail.panels, kPasteTitle, "Unable to open %s", nullptr, nullptr,
                 nullptr, path.c_str());
        return false;
    }
    if (output.empty()) {
        std::fprintf(stderr, "%s\n", std::strerror(errno));
        m_services.mail.panels.beep();
        return false;
    }
    m_text.replaceSel(output);
    return true;
}

// False when the file could not be opened or the directory's pipeline failed.
bool MediaText::runEncoder(const std::string& path, std::string& output) {
    Defaults& defaults = m_services.mail.defaults;
    RunCommand runner(m_services.launcher);
    std::ostringstream collected;
    const std::string name = lastComponent(path);
    if (isDirectory(path)) {
        const int status = runner.runPipeWithOutputTo(
            {{resolveHelperProgram(defaults.tarCommand()), "cf", "-", "-C", parentOf(path), name},
             {defaults.compressCommand(), "-f"},
             {defaults.uuencoder(), name + ".tar.Z"}},
            collected);
        output = collected.str();
        return status == 0;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    runner.runPipe({{defaults.uuencoder(), path, name}}, &file, &collected);
    output = collected.str();
    return true;
}

bool MediaText::addImport(const std::string& path) {
    if (::access(path.c_str(), R_OK) == 0) return m_text.replaceSelWithFile(path);
    const bool missing = errno == ENOENT || errno == ENOTDIR;
    AlertRequest request;
    request.title = localized(kAlertsTable, "Insert Attachment");
    request.message =
        missing ? withObject(localized(kAlertsTable, "The file %@ is not accessible from host %s"),
                             path, thisHost())
                : withObject(localized(kAlertsTable, "You don't have permission to access %@"),
                             path, "");
    m_services.mail.panels.runAlert(request);
    return false;
}

}  // namespace quill

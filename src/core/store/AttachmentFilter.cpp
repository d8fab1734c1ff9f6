#include "store/AttachmentFilter.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "base/Diagnostics.h"
#include "base/ascii.h"
#include "platform/resources.h"
#include "process/RunCommand.h"
#include "store/MboxScanner.h"

namespace quill {
namespace {

constexpr std::string_view kAttachmentHeader = "\nZell-Attachment: ";
// "\nReceived: by Zell.Mailer" or "\nReceived: by Zell Mailer".
constexpr std::string_view kSentMark = "\nReceived: by Zell";
constexpr std::string_view kSentMarkEnds[] = {".Mailer", " Mailer"};
constexpr std::size_t kMaxAttachmentLine = 1023;
constexpr const char* kUncompress = "/usr/bin/uncompress";

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Both marks are looked for in one pass with memmem, which skips through a
// large body far faster than a search that stops at every newline.
bool sentByPlatformMailer(std::string_view message) {
    const char* p = message.data();
    const char* end = p + message.size();
    while (const void* hit =
               ::memmem(p, static_cast<std::size_t>(end - p), kSentMark.data(), kSentMark.size())) {
        std::string_view rest(
            static_cast<const char*>(hit) + kSentMark.size(),
            static_cast<std::size_t>(end - static_cast<const char*>(hit)) - kSentMark.size());
        for (std::string_view tail : kSentMarkEnds) {
            if (rest.starts_with(tail)) return true;
        }
        p = static_cast<const char*>(hit) + 1;
    }
    return false;
}

// ".tar.<number>.<name>" names the directory <name>; anything else itself.
std::string directoryName(const std::string& name) {
    if (name.rfind(".tar.", 0) != 0) return name;
    std::size_t digits = 5;
    while (digits < name.size() && isDigit(name[digits])) ++digits;
    if (digits == 5 || digits >= name.size() || name[digits] != '.' || digits + 1 == name.size()) {
        return name;
    }
    return name.substr(digits + 1);
}

}  // namespace

std::string joinBlankEndedLines(std::string_view body) {
    std::string out;
    out.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == ' ' && i + 1 < body.size() && body[i + 1] == '\n') {
            ++i;
            continue;
        }
        out += body[i];
    }
    return out;
}

// The whole text is searched for both marks in one pass, which is far cheaper
// than message by message; then each message only needs its header end.
bool AttachmentFilter::passesUnchanged(std::string_view copy) {
    if (findLineStarting(copy, 0, kAttachmentHeader.substr(1), kSentMark.substr(1)) !=
        std::string_view::npos) {
        return false;
    }
    for (std::size_t at = 0; at < copy.size();) {
        std::size_t next = findFromLine(copy, at + 1);
        std::size_t end = next == std::string_view::npos ? copy.size() : next + 1;
        if (copy.substr(at, end - at).find("\n\n") == std::string_view::npos) return false;
        at = end;
    }
    return true;
}

bool AttachmentFilter::filterAttachments(std::string_view copy, std::string& out) {
    out.reserve(out.size() + copy.size());
    std::size_t at = 0;
    while (at < copy.size()) {
        std::size_t next = findFromLine(copy, at + 1);
        std::size_t end = next == std::string_view::npos ? copy.size() : next + 1;
        std::string_view message = copy.substr(at, end - at);
        std::size_t endHeader = message.find("\n\n");
        if (endHeader == std::string_view::npos) {
            logWarning("AttachmentFilter", "message at %zu has no end of header", at);
            return false;
        }
        std::size_t attach = message.substr(0, endHeader + 1).find(kAttachmentHeader);
        if (attach != std::string_view::npos) {
            if (!writeAttachAt(message, attach + 1, endHeader + 1, out)) return false;
        } else {
            std::string_view body = message.substr(endHeader + 1);
            out.append(message.substr(0, endHeader + 1));
            if (sentByPlatformMailer(message)) {
                out += joinBlankEndedLines(body);
            } else {
                out.append(body);
            }
        }
        at = end;
    }
    return true;
}

// `attach` is the start of the attachment header line, `endHeader` the
// position after the header's last newline.
bool AttachmentFilter::writeAttachAt(std::string_view message, std::size_t attach,
                                     std::size_t endHeader, std::string& out) {
    std::size_t lineEnd = message.find('\n', attach);
    std::string_view line = message.substr(attach, std::min(lineEnd - attach, kMaxAttachmentLine));
    std::string directory;
    AttachmentInfo info;
    std::string reference = getAttachmentInfo(line, directory, info);
    std::size_t firstLineEnd = message.find('\n') + 1;
    out.append(message.substr(0, firstLineEnd));
    out += reference;
    out.append(message.substr(firstLineEnd, attach - firstLineEnd));
    if (lineEnd + 1 < endHeader) out.append(message.substr(lineEnd + 1, endHeader - lineEnd - 1));
    std::string_view data = message.substr(endHeader + 1);
    std::size_t endMark = data.find("\nend\n");
    data = data.substr(0, endMark == std::string_view::npos ? data.size() : endMark + 5);
    if (!writeDataFile(directory, data)) return false;
    out += '\n';
    return true;
}

std::string AttachmentFilter::getAttachmentInfo(std::string_view line, std::string& directory,
                                                AttachmentInfo& info) const {
    std::string value(line.substr(line.find(':') + 1));
    std::size_t start = value.find_first_not_of(' ');
    std::size_t comma = value.find(',', start);
    info.name = value.substr(start, comma == std::string::npos ? comma : comma - start);
    if (comma != std::string::npos) {
        std::sscanf(value.c_str() + comma + 1, "%ld, %d/%d, %ld, %ld", &info.attachFileSize,
                    &info.part, &info.parts, &info.dataSize, &info.msgSize);
    }
    std::string base = directoryName(info.name);
    if (info.parts != 1) base += formatString(".%d", info.part);
    directory = getUniqueDir(base);
    return formatString("Zell-Reference: %s, %d/%d             \n", directory.c_str(), info.part,
                        info.parts);
}

std::string AttachmentFilter::getUniqueDir(const std::string& name) const {
    std::string candidate = name;
    for (int n = 1; exists(m_dir + "/" + candidate); ++n) candidate = name + std::to_string(n);
    return candidate;
}

bool AttachmentFilter::writeDataFile(const std::string& directory, std::string_view data) {
    std::string path = m_dir + "/" + directory;
    if (::mkdir(path.c_str(), 0755) != 0) return false;
    std::istringstream input{std::string(data)};
    int status = RunCommand(processLauncher())
                     .runPipe({{getResourceDir("decode")},
                               {kUncompress},
                               {getResourceDir("safetar"), "xf", "-", "-C", path}},
                              &input, nullptr);
    if (status != 0)
        logWarning("AttachmentFilter", "unpacking %s ended with %d", path.c_str(), status);
    return true;
}

}  // namespace quill

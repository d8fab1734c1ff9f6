#include "formats/SunMessage.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "base/utf8.h"
#include "formats/SunFileTypes.h"
#include "formats/uuencode.h"
#include "message/MailHeaders.h"
#include "process/ProcessLauncher.h"
#include "process/RunCommand.h"

namespace quill {

namespace {

constexpr std::string_view kSeparator = "----------\n";
constexpr const char* kSunType = "X-Sun-Attachment";
constexpr const char* kUncompress = "/usr/bin/uncompress";

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// A separator counts only at the start of the body or of a line.
size_t findSeparator(std::string_view body, size_t from) {
    for (size_t at = body.find(kSeparator, from); at != std::string_view::npos;
         at = body.find(kSeparator, at + 1))
        if (at == 0 || body[at - 1] == '\n') return at;
    return std::string_view::npos;
}

// Where a part's data of `lines` lines from `start` ends. A count one or two
// too large that would run into the next separator stops before it.
size_t countedDataEnd(std::string_view body, size_t start, long lines) {
    size_t at = start;
    while (lines > 0 && at < body.size()) {
        size_t newline = body.find('\n', at);
        if (newline == std::string_view::npos) return body.size();
        --lines;
        if ((lines == 1 || lines == 2) && body.substr(newline + 1).starts_with(kSeparator))
            return newline;
        at = newline + 1;
    }
    return at;
}

std::vector<std::string> encodingNames(std::string_view info) {
    std::vector<std::string> names;
    std::string name;
    for (char c : info) {
        if (c == ',' || c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (!name.empty()) names.push_back(std::move(name));
            name.clear();
        } else {
            name += c;
        }
    }
    if (!name.empty()) names.push_back(std::move(name));
    return names;
}

}  // namespace

SunMessage::~SunMessage() {
    for (const auto& body : myIconBodies) body->detach();
}

const MailClass& SunMessage::mailClass() {
    static const MailClass cls{
        "SunMessage",
        "Mailtool",
        "sunmail",
        false,
        &SunMessage::willingnessToDecode,
        []() -> std::unique_ptr<MailMessage> { return std::make_unique<SunMessage>(); }};
    return cls;
}

void registerSunMessageClass() { MailMessage::registerMailClass(SunMessage::mailClass()); }

double SunMessage::willingnessToDecode(const MailHeaders& headers) {
    const std::string* type = headers.valueForKey("Content-Type");
    return equalsIgnoringCase(type ? *type : "", kSunType) ? 1.0 : 0.0;
}

bool SunMessage::isRichBody() const {
    std::optional<std::string> type = value("Content-Type");
    if (type && equalsIgnoringCase(*type, kSunType)) return true;
    return MailMessage::isRichBody();
}

std::optional<std::string> SunMessage::value(std::string_view key) const {
    if (!myHeaders) return std::nullopt;
    const std::string* found = myHeaders->valueForKey(key);
    return found ? std::optional<std::string>(*found) : std::nullopt;
}

std::optional<std::string> SunMessage::dataName() const {
    std::optional<std::string> name = value("X-Sun-Data-Name");
    if (name) std::replace(name->begin(), name->end(), '/', '-');
    return name;
}

std::vector<std::unique_ptr<SunMessage>> SunMessage::splitBody(std::string_view body) {
    std::vector<std::unique_ptr<SunMessage>> parts;
    size_t at = findSeparator(body, 0);
    while (at != std::string_view::npos) {
        ByteSource source(body.substr(at + kSeparator.size()));
        auto part = std::make_unique<SunMessage>();
        std::unique_ptr<MailHeaders> headers = MailHeaders::initFromStream(source);
        part->setHeaders(headers ? std::move(headers) : std::make_unique<MailHeaders>());
        size_t start = at + kSeparator.size() + source.position();
        std::optional<std::string> lines = part->value("X-Sun-Content-Lines");
        long count = lines ? std::strtol(lines->c_str(), nullptr, 10) : 0;
        size_t end = count > 0 ? countedDataEnd(body, start, count) : findSeparator(body, start);
        if (end == std::string_view::npos) end = body.size();
        part->setBody(body.substr(start, end - start));
        parts.push_back(std::move(part));
        at = findSeparator(body, end);
    }
    return parts;
}

const std::vector<std::unique_ptr<SunMessage>>& SunMessage::bodyParts() {
    if (!myPartsMade) {
        myPartsMade = true;
        myBodyParts = splitBody(bodyView());
        for (auto& part : myBodyParts) part->setAttachmentPath(attachmentPath());
    }
    return myBodyParts;
}

std::optional<std::string> SunMessage::filetypeForSunAttachmentType(std::string_view type,
                                                                    bool* executable) {
    std::optional<SunFileTypes::Entry> entry = SunFileTypes::shared().lookup(type);
    if (executable) *executable = entry && entry->executable;
    if (!entry) return std::nullopt;
    return entry->extension;
}

bool SunMessage::decodeStep(const std::string& encoding, std::string& data) const {
    ByteSource in(data);
    ByteSink out;
    bool ok;
    if (equalsIgnoringCase(encoding, "uuencode"))
        ok = uudecode(in, out);
    else if (equalsIgnoringCase(encoding, "compress"))
        ok = RunCommand(processLauncher()).runPipe({{kUncompress}}, in, out) == 0;
    else
        return true;
    if (ok) data = out.take();
    return ok;
}

std::string SunMessage::decodedBody() const {
    std::string data(bodyView());
    std::optional<std::string> info = encodingInfo();
    if (!info) return data;
    std::vector<std::string> names = encodingNames(*info);
    std::string name = dataName().value_or("");
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        bool known = equalsIgnoringCase(*it, "uuencode") || equalsIgnoringCase(*it, "compress") ||
                     equalsIgnoringCase(*it, "adpcm-compress") || equalsIgnoringCase(*it, "7bit");
        if (!known)
            logWarning("SunMessage", "Don't know how to decode attachment %s, encoding = %s",
                       name.c_str(), it->c_str());
        else if (!decodeStep(*it, data))
            logWarning("SunMessage", "Could not decode attachment %s, encoding = %s", name.c_str(),
                       it->c_str());
    }
    return data;
}

bool SunMessage::saveDecodedBodyTo(const std::string& path, mode_t mode) const {
    std::string data = decodedBody();
    UniqueFd fd = openFile(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, mode);
    return fd && fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), data) && fd.close() == 0;
}

std::string SunMessage::bodyFileName() const {
    std::optional<std::string> name = dataName();
    if (!name) return {};
    // The name is only ever a last path component; these two are not files.
    if (name->empty() || *name == "." || *name == "..") *name = "attachment";
    std::optional<std::string> extension =
        filetypeForSunAttachmentType(dataType().value_or(""), nullptr);
    if (extension && !extension->empty() && !name->ends_with("." + *extension))
        *name += "." + *extension;
    return *name;
}

mode_t SunMessage::bodyFileMode() const {
    bool executable = false;
    filetypeForSunAttachmentType(dataType().value_or(""), &executable);
    return executable ? 0755 : 0644;
}

void SunMessage::replaceSelWithBodyInView(TextView& view) { replaceSelWithBodyInView(view, true); }

void SunMessage::replaceSelWithBodyInView(TextView& view, bool inlineIfTextPart) {
    if (value("Content-Type")) {
        bool first = true;
        for (const auto& part : bodyParts()) {
            part->replaceSelWithBodyInView(view, first);
            first = false;
        }
        return;
    }
    std::optional<std::string> type = dataType();
    if (inlineIfTextPart && (!type || equalsIgnoringCase(*type, "text")))
        showInline(view);
    else
        showAsIcon(view);
}

void SunMessage::showInline(TextView& view) {
    std::optional<std::string> set = charset();
    std::optional<std::string> info = encodingInfo();
    std::string text;
    if (set && (equalsIgnoringCase(*set, "latin-1") || equalsIgnoringCase(*set, "iso-8859-1"))) {
        text = bodyView();
    } else if (info && equalsIgnoringCase(*info, "uuencode")) {
        ByteSource in(bodyView());
        ByteSink out;
        uudecode(in, out);
        text = out.take();
    } else {
        text = bodyView();
    }
    view.replaceSel(view.isUtf8() ? latin1ToUtf8(text) : text);
    view.replaceSel("\n");
}

void SunMessage::showAsIcon(TextView& view) {
    std::string name = bodyFileName();
    if (!name.empty()) {
        mode_t mode = bodyFileMode();
        myIconBodies.push_back(std::make_shared<AttachmentBody>(
            [this, mode](const std::string& path) { return saveDecodedBodyTo(path, mode); }));
        view.replaceSelWithAttachment(name, myIconBodies.back());
    }
    std::string line = "\t" + dataName().value_or("");
    std::optional<std::string> description = dataDescription();
    if (description && !description->empty() && !equalsIgnoringCase(*description, "default"))
        line += " (" + *description + ")";
    line += "\n";
    view.replaceSel(view.isUtf8() ? latin1ToUtf8(line) : line);
}

}  // namespace quill

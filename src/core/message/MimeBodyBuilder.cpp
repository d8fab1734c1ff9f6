#include "message/MimeBodyBuilder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "base/ascii.h"
#include "message/MimeEncoder.h"
#include "message/mimetoken.h"
#include "richtext/RTFEnrichedConverter.h"
#include "richtext/TextView.h"

namespace quill {

namespace {

constexpr const char* kWho = "MimeMessage";

bool onlyBlanks(std::string_view text) {
    return text.find_first_not_of(" \t\n") == std::string_view::npos;
}

std::string formatMode(mode_t mode) {
    char text[16];
    std::snprintf(text, sizeof text, "%#o", static_cast<unsigned>(mode & 07777));
    return text;
}

// The attachment's name as the platform RTF gives it: up to the closing
// brace (left in the input), unescaped, cut at " \width" or the first blank.
std::string readAttachmentName(ByteSource& input) {
    std::string_view rest = input.remaining();
    std::string name;
    size_t i = 0;
    for (; i < rest.size() && rest[i] != '}'; ++i) {
        if (rest[i] == '\\' && i + 1 < rest.size()) {
            char next = rest[i + 1];
            if (next == '\'' && i + 3 < rest.size() && hexValue(rest[i + 2]) >= 0 &&
                hexValue(rest[i + 3]) >= 0) {
                name += static_cast<char>(hexValue(rest[i + 2]) * 16 + hexValue(rest[i + 3]));
                i += 3;
                continue;
            }
            if (next == '\\' || next == '{' || next == '}') {
                name += next;
                ++i;
                continue;
            }
        }
        name += rest[i];
    }
    input.seek(input.position() + i);
    size_t cut = name.find(" \\width");
    if (cut == std::string::npos) {
        cut = 0;
        while (cut < name.size() && !isSpace(name[cut])) ++cut;
    }
    return name.substr(0, cut);
}

// Builds the part list of a rich text as the enriched writer walks it.
class RichPartCollector : public RTFEnrichedConverter::Delegate {
  public:
    explicit RichPartCollector(const RichText& document) : m_document(document) {}

    bool rtfCommand(std::string_view word, int, ByteSource& input, std::string& output) override {
        if (word != "ZellGraphic") return false;
        takeText(output);
        std::string name = readAttachmentName(input);
        for (const Attachment* cell : m_document.attachments()) {
            if (!cell->isFile() || cell->name != name || cell->path.empty()) continue;
            if (auto part = MimeBodyBuilder::partForFile(cell->path, name))
                m_parts.push_back(std::move(part));
            break;
        }
        return true;
    }

    // The closing call: the rest of the text, unless it is only blank.
    MimeMessage::PartList finish(std::string& output) {
        if (takeText(output) && onlyBlanks(m_parts.back()->bodyView())) m_parts.pop_back();
        return std::move(m_parts);
    }

  private:
    bool takeText(std::string& output) {
        if (output.empty()) return false;
        auto part = std::make_unique<MimeMessage>();
        part->setBodyNoCopy(std::move(output));
        output.clear();
        part->setMimeType("text", "enriched");
        part->setMimeDisposition("inline");
        m_parts.push_back(std::move(part));
        return true;
    }

    const RichText& m_document;
    MimeMessage::PartList m_parts;
};

void setAttachmentParameters(MimeMessage& part, const std::string& name, const struct stat& st) {
    part.setMimeDisposition("attachment");
    part.setMimeDispositionParameter("filename", name);
    part.setMimeParameter("x-unix-mode", formatMode(st.st_mode));
    part.setMimeParameter("name", name);
}

}  // namespace

void MimeBodyBuilder::setBodyFromText(MimeMessage& message, const TextView& view) {
    if (!view.hasFormatting() && !view.hasGraphics()) {
        message.setBody(plainText(view, std::nullopt));
        message.setMimeType("text", "plain");
        message.setMimeDisposition("inline");
        return;
    }
    if (!MimeEncoder::autoAlternative()) return setBodyFromRichText(message, view);
    auto rich = std::make_unique<MimeMessage>();
    setBodyFromRichText(*rich, view);
    MimeMessage::PartList parts;
    parts.push_back(plainAlternative(view));
    parts.push_back(std::move(rich));
    message.setParts(std::move(parts));
    message.setMimeType("multipart", "alternative");
}

std::unique_ptr<MimeMessage> MimeBodyBuilder::plainAlternative(const TextView& view) {
    std::string text = plainText(view, MimeEncoder::missingAttachmentString());
    if (text.empty() || text.back() != '\n') text += '\n';
    auto part = std::make_unique<MimeMessage>();
    part->setBodyNoCopy(std::move(text));
    part->setMimeType("text", "plain");
    part->setMimeDisposition("inline");
    return part;
}

std::string MimeBodyBuilder::plainText(const TextView& view,
                                       const std::optional<std::string>& missing) {
    return view.richText().textWithCells([&](std::string& out, const Attachment& cell, size_t) {
        if (cell.isFile() && missing) out += *missing;
    });
}

void MimeBodyBuilder::setBodyFromRichText(MimeMessage& message, const TextView& view) {
    std::string rtf = view.rtf();
    ByteSource input(rtf);
    std::string enriched;
    RichPartCollector collector(view.richText());
    RTFEnrichedConverter converter;
    converter.setDelegate(&collector);
    converter.convertFrom(input, enriched);
    MimeMessage::PartList parts = collector.finish(enriched);
    if (parts.size() == 1 && !isKeyEqual(parts.front()->mimeType(), "multipart"))
        return takeSinglePart(message, *parts.front());
    message.setParts(std::move(parts));
    message.setMimeType("multipart", "mixed");
}

void MimeBodyBuilder::takeSinglePart(MimeMessage& message, MimeMessage& part) {
    message.setBody(part.bodyView());
    message.setMimeType(part.mimeType(), part.mimeSubtype());
    for (const char* key : {"access-type", "x-unix-mode", "name"}) {
        if (const std::string* value = part.mimeParameterValueForKey(key))
            message.setMimeParameter(key, *value);
    }
}

std::unique_ptr<MimeMessage> MimeBodyBuilder::linkPart(const std::string& target) {
    MimeMessage linked;
    linked.setMimeTypeFromFile(target);
    ByteSink header;
    MimeEncoder::writeHeadersToStream(linked, header, false);
    auto part = std::make_unique<MimeMessage>();
    part->setBodyNoCopy(header.take());
    part->setMimeType("message", "external-body");
    part->setMimeParameter("name", target);
    part->setMimeParameter("access-type", "local-file");
    part->setMimeDisposition("attachment");
    part->setMimeDispositionParameter("filename", target);
    return part;
}

std::unique_ptr<MimeMessage> MimeBodyBuilder::partForFile(const std::string& path,
                                                          const std::string& name) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        logWarning(kWho, "Skipping unencapsulable part of type %s", "missing file");
        return nullptr;
    }
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n > 0) {
            std::string where(target, static_cast<size_t>(n));
            // The reader opens the target from anywhere, so it goes absolute.
            if (where[0] != '/') where = path.substr(0, path.rfind('/') + 1) + where;
            return linkPart(where);
        }
    }
    auto part = std::make_unique<MimeMessage>();
    if (S_ISDIR(st.st_mode)) {
        if (!setBodyFromDirectory(*part, path)) return nullptr;
    } else {
        std::string bytes;
        if (!S_ISREG(st.st_mode) || !readFile(path, bytes)) {
            logWarning(kWho, "Skipping unencapsulable part of type %s",
                       S_ISREG(st.st_mode) ? "unreadable file" : "special file");
            return nullptr;
        }
        part->setBodyNoCopy(std::move(bytes));
        part->setMimeTypeFromFile(name);
        if (isKeyEqual(part->mimeType(), "message") &&
            isKeyEqual(part->mimeSubtype(), "external-body")) {
            ByteSource stream(part->bodyView());
            std::unique_ptr<MimeMessage> stored = MimeMessage::initFromStream(stream);
            if (stored) return stored;
        }
    }
    setAttachmentParameters(*part, name, st);
    return part;
}

bool MimeBodyBuilder::setBodyFromDirectory(MimeMessage& message, const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) {
        logWarning(kWho, "Skipping unencapsulable part of type %s", "unreadable directory");
        return false;
    }
    std::set<std::string> names;
    while (struct dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.insert(name);
    }
    ::closedir(dir);
    MimeMessage::PartList parts;
    for (const std::string& name : names) {
        // An icon image beside the file it stands for is not sent.
        if (name.ends_with(".tiff") && names.count(name.substr(0, name.size() - 5))) continue;
        if (auto part = partForFile(path + "/" + name, name)) parts.push_back(std::move(part));
    }
    message.setParts(std::move(parts));
    message.setMimeType("multipart", "x-folder");
    message.setMimeDisposition("attachment");
    return true;
}

bool MimeBodyBuilder::setBodyFromDocumentDirectory(MimeMessage& message, const std::string& path) {
    if (!setBodyFromDirectory(message, path)) return false;
    message.setMimeType("multipart", "x-rtfd");
    message.setMimeDisposition(std::nullopt);
    return true;
}

}  // namespace quill

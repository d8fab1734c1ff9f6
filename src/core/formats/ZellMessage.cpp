#include "formats/ZellMessage.h"

#include <locale.h>
#include <regex.h>

#include <ctime>
#include <filesystem>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "base/ascii.h"
#include "base/utf8.h"
#include "formats/uuencode.h"
#include "message/MimeEncoder.h"
#include "platform/resources.h"
#include "process/RunCommand.h"
#include "richtext/DocumentDirectory.h"

namespace quill {

namespace fs = std::filesystem;

namespace {

constexpr const char* kWho = "ZellMessage";
constexpr const char* kAttachmentKey = "Zell-Attachment";
constexpr const char* kReferenceKey = "Zell-Reference";
constexpr int kArchiveMode = 0600;
// The scores are single-precision values, as the index stores them.
constexpr float kUnsure = 0.333f;
constexpr float kLikely = 0.667f;
constexpr float kSure = 1.0f;

struct Commands {
    std::optional<std::string> tar;
    std::optional<std::string> compress;
};

Commands& commands() {
    static Commands c;
    return c;
}

// Regular expressions here match bytes (the attachment byte 0xAC included),
// whatever locale the program runs in.
class ByteLocale {
  public:
    ByteLocale() : m_c(::newlocale(LC_ALL_MASK, "C", nullptr)), m_old(::uselocale(m_c)) {}
    ~ByteLocale() {
        ::uselocale(m_old);
        ::freelocale(m_c);
    }
    ByteLocale(const ByteLocale&) = delete;
    ByteLocale& operator=(const ByteLocale&) = delete;

  private:
    locale_t m_c;
    locale_t m_old;
};

std::string groupText(std::string_view text, bool truncateBeforeBackslash) {
    size_t backslash = text.find('\\', 1);
    if (truncateBeforeBackslash && backslash != std::string_view::npos)
        text = text.substr(0, backslash - 1);
    return std::string(text);
}

std::string replacementWith(const char* replacement, const std::string& group) {
    std::string out = replacement;
    size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, group);
    return out;
}

}  // namespace

ZellMessage::~ZellMessage() { resetAttachmentDirectory(); }

const MailClass& ZellMessage::mailClass() {
    static const MailClass cls{
        "ZellMessage",
        "Zell",
        "zellmail",
        true,
        &ZellMessage::willingnessToDecode,
        []() -> std::unique_ptr<MailMessage> { return std::make_unique<ZellMessage>(); }};
    return cls;
}

void registerZellMessageClass() { MailMessage::registerMailClass(ZellMessage::mailClass()); }

double ZellMessage::willingnessToDecode(const MailHeaders& headers) {
    if (headers.hasKey(kAttachmentKey) || headers.hasKey(kReferenceKey)) return kSure;
    const std::string* received = headers.valueForKey("Received");
    bool fromZell = received && received->starts_with("by Zell");
    const std::string* type = headers.valueForKey("Content-Type");
    if (!type) return fromZell ? kLikely : kUnsure;
    if (startsWithIgnoringCase(*type, "application/x-zellmail")) return kSure;
    if (fromZell && type->size() == 10 && startsWithIgnoringCase(*type, "text/plain")) return kSure;
    return kUnsure;
}

const std::string& ZellMessage::tarCommand() {
    static const std::string fallback = getResourceDir("safetar");
    return commands().tar ? *commands().tar : fallback;
}
void ZellMessage::setTarCommand(std::optional<std::string> command) {
    commands().tar = std::move(command);
}
const std::string& ZellMessage::compressCommand() {
    static const std::string fallback = "/usr/bin/compress";
    return commands().compress ? *commands().compress : fallback;
}
void ZellMessage::setCompressCommand(std::optional<std::string> command) {
    commands().compress = std::move(command);
}

void ZellMessage::setRichText(const RichText& text, bool rich) {
    myRichText = text;
    setBody(text.plainText());
    myRich = rich;
}

void ZellMessage::resetAttachmentDirectory() {
    if (!myTmpAttachDir || !myAttachmentPath) return;
    std::error_code ec;
    fs::remove_all(*myAttachmentPath, ec);
    myTmpAttachDir = false;
}

std::string ZellMessage::directoryName() const { return attachmentName(); }

// ---- reading ----

bool ZellMessage::readBodyFromStreamMailbox(ByteSource& stream, std::string_view mailbox) {
    if (const std::string* reference = headerValueForKey(kReferenceKey)) {
        std::string path = std::string(mailbox) + "/" + *reference;
        size_t comma = path.find(',', mailbox.size());
        size_t next = comma == std::string::npos ? path.size() : comma + 1;
        while (next < path.size() && isSpace(path[next])) ++next;
        setEncrypted(next < path.size() && path[next] == 'E');
        if (comma != std::string::npos) path.resize(comma);
        setAttachmentPath(path);
    }
    return readBodyFromStream(stream);
}

bool ZellMessage::readBodyFromStream(ByteSource& stream) {
    if (headerValueForKey(kAttachmentKey)) {
        size_t start = stream.position();
        if (readRichBodyFromStream(stream)) return true;
        stream.seek(start);
    }
    return readPlainBodyFromStream(stream);
}

bool ZellMessage::readRichBodyFromStream(ByteSource& stream) {
    ByteSink archive;
    if (!uudecode(stream, archive)) {
        logError(kWho, "Errors during uudecoding");
        return false;
    }
    if (!makeUniqueAttachmentInDirectory(std::nullopt)) return false;
    myTmpAttachDir = true;
    ByteSource packed(archive.bytes());
    if (!deztar(packed, *myAttachmentPath))
        logError(kWho, "Could not uncompress/untar attachment for %s", myAttachmentPath->c_str());
    return true;
}

bool ZellMessage::readPlainBodyFromStream(ByteSource& stream) {
    ByteSink body;
    while (!stream.atEnd()) {
        std::string_view line = stream.readLine(1023);
        if (line.size() >= 2 && line.ends_with(" \n")) line.remove_suffix(2);
        body.write(line);
    }
    setBodyNoCopy(body.take());
    return true;
}

// ---- writing ----

bool ZellMessage::writeHeadersToStream(ByteSink& sink, std::optional<std::string_view> mailbox) {
    MailHeaders& block = headers();
    block.setFromSpace(true);
    block.removeKey(kAttachmentKey);
    block.removeKey(kReferenceKey);
    bool rich = isRichBody();
    if (rich && mailbox) {
        setHeaderKey(kReferenceKey, formatString("%s, %s, 1/1", directoryName().c_str(),
                                                 isEncrypted() ? "E" : ""));
    } else if (rich && !prepareAttachmentForUuencoding()) {
        return false;
    }
    if (!block.hasKey("Content-Type")) {
        setHeaderKey("MIME-Version", MimeEncoder::versionString());
        setHeaderKey("Content-Type", rich ? "application/x-zellmail" : "text/plain");
    }
    addReceivedByZellIfNeeded();
    return MailMessage::writeHeadersToStream(sink);
}

bool ZellMessage::writeBodyToStream(ByteSink& sink) {
    if (!isRichBody()) return writeBodyToStreamWrapAtColumn(sink, lineLength());
    std::optional<std::string> name = prepareAttachmentForUuencoding();
    if (!name) return false;
    ByteSink archive;
    if (!enztar(*myAttachmentPath, archive)) {
        logError(kWho, "Could not tar & compress & uuencode message");
        return false;
    }
    ByteSource packed(archive.bytes());
    return uuencode(packed, sink, *name, kArchiveMode);
}

std::optional<std::string> ZellMessage::prepareAttachmentForUuencoding() {
    if (const std::string* value = headerValueForKey(kAttachmentKey))
        return value->substr(0, value->find(','));
    if (!myAttachmentPath) {
        if (!saveDocumentInto(std::nullopt)) return std::nullopt;
    }
    std::string value =
        formatString(".tar.%ld.%s, %s%d, 1/1, %d, 0", static_cast<long>(std::time(nullptr) % 999),
                     directoryName().c_str(), isEncrypted() ? "E, " : "", 0, 0);
    setHeaderKey(kAttachmentKey, value);
    return value.substr(0, value.find(','));
}

// A new document directory in directory (the default attachment directory
// when none), holding the composed document in the wire form.
bool ZellMessage::saveDocumentInto(const std::optional<std::string>& directory) {
    if (!makeUniqueAttachmentInDirectory(directory)) return false;
    myTmpAttachDir = true;
    if (saveAttachTo(myRichText.value_or(RichText()), *myAttachmentPath)) {
        logError(kWho, "Could not save text in %s", myAttachmentPath->c_str());
        return false;
    }
    convertIndexFor(*myAttachmentPath, true);
    return true;
}

bool ZellMessage::writeToStreamMailbox(ByteSink& sink, std::string_view mailbox) {
    if (!isRichBody()) return MailMessage::writeToStreamMailbox(sink, mailbox);
    if (!myAttachmentPath && !saveDocumentInto(std::string(mailbox))) return false;
    if (!myAttachmentPath || !moveDocumentInto(mailbox)) return false;
    return writeHeadersToStream(sink, mailbox) && sink.write("\n\n");
}

// Copies the document directory beside the mailbox's "mbox" unless it lies there already.
bool ZellMessage::moveDocumentInto(std::string_view mailbox) {
    const std::string& path = *myAttachmentPath;
    std::string prefix = std::string(mailbox) + "/";
    if (path.starts_with(prefix) && path.find('/', prefix.size()) == std::string::npos) {
        myTmpAttachDir = false;
        return true;
    }
    std::string copy = prefix + directoryName();
    mkuniquefile(copy);
    std::error_code ec;
    fs::copy(path, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        fs::remove_all(copy, ec);
        return false;
    }
    resetAttachmentDirectory();
    setAttachmentPath(copy);
    myTmpAttachDir = false;
    return true;
}

// ---- document directories ----

bool ZellMessage::enztar(const std::string& directory, ByteSink& out) {
    return RunCommand(processLauncher())
               .runPipeWithOutputTo(
                   {{tarCommand(), "cf", "-", "-C", directory, "."}, {compressCommand(), "-f"}},
                   out) == 0;
}

// The directory goes to tar as an argument rather than through a shell, so
// no name can reach a command line.
bool ZellMessage::deztar(ByteSource& in, const std::string& directory) {
    return RunCommand(processLauncher())
               .runPipeWithInputFrom(
                   {{compressCommand(), "-d"}, {tarCommand(), "xf", "-", "-C", directory}}, in) ==
           0;
}

namespace {

// "index.rtf" is read in the platform form without rewriting the file; a
// directory holding only "TXT.rtf" is read as it is.
std::unique_ptr<DocumentDirectory> openDocument(const std::string& dir) {
    std::string index, platform;
    if (readFile(dir + "/" + DocumentDirectory::kWireFile, index) &&
        ZellMessage::convertStream(index, platform, ZellMessage::kIncomingPattern,
                                   ZellMessage::kIncomingReplacement, false, true))
        return DocumentDirectory::fromRtf(dir, platform, AttachmentForm::Platform);
    return DocumentDirectory::load(dir);
}

}  // namespace

void ZellMessage::replaceSelWithBodyInView(TextView& view) {
    std::string plain = stringBody();
    if (view.isUtf8()) plain = latin1ToUtf8(plain);
    view.replaceSel(plain);
    if (!isRichBody() || !myAttachmentPath) return;
    std::unique_ptr<DocumentDirectory> document = openDocument(*myAttachmentPath);
    if (!document) {
        logError(kWho, "Could not read RTFD document %s", myAttachmentPath->c_str());
        view.replaceSel(plain);
        return;
    }
    view.replaceSelWithDocument(document->text());
}

bool ZellMessage::convertIndexFor(const std::string& directory, bool outgoing) {
    std::string from = directory + "/" + (outgoing ? "TXT.rtf" : "index.rtf");
    std::string to = directory + "/" + (outgoing ? "index.rtf" : "TXT.rtf");
    std::string text, converted;
    if (!readFile(from, text)) return false;
    bool ok =
        outgoing
            ? convertStream(text, converted, kOutgoingPattern, kOutgoingReplacement, true, false)
            : convertStream(text, converted, kIncomingPattern, kIncomingReplacement, false, true);
    if (!ok) return false;
    TempFile file(to);
    if (!file.valid() || !file.write(converted) || !file.commit()) return false;
    return ::unlink(from.c_str()) == 0;
}

bool ZellMessage::convertStream(std::string_view in, std::string& out, const char* pattern,
                                const char* replacement, bool truncateBeforeBackslash,
                                bool removeExtraLeftBrace) {
    ByteLocale bytes;
    regex_t expression;
    if (int error = ::regcomp(&expression, pattern, 0)) {
        char text[256];
        ::regerror(error, &expression, text, sizeof text);
        logError(kWho, "regcomp failed on \"%s\" with error %s\n", pattern, text);
        return false;
    }
    std::string buffer(in);  // regexec wants a terminated string
    const char* start = buffer.c_str();
    const char* position = start;
    regmatch_t match[2];
    while (::regexec(&expression, position, 2, match, position == start ? 0 : REG_NOTBOL) == 0) {
        const char* from = position + match[0].rm_so;
        if (removeExtraLeftBrace && from > position && from[-1] == '{') --from;
        out.append(position, from);
        std::string_view group(position + match[1].rm_so,
                               static_cast<size_t>(match[1].rm_eo - match[1].rm_so));
        out += replacementWith(replacement, groupText(group, truncateBeforeBackslash));
        position += match[0].rm_eo;
        if (match[0].rm_eo == 0) break;  // an empty match would never move on
    }
    out.append(position, start + buffer.size());
    ::regfree(&expression);
    return true;
}

bool ZellMessage::saveAttachTo(const RichText& text, const std::string& path) {
    if (!DocumentDirectory::save(path, text, AttachmentForm::Platform)) return true;
    std::error_code ec;
    for (const Attachment* cell : text.attachments())
        fs::remove(path + "/" + cell->name + ".tiff", ec);
    return false;
}

}  // namespace quill

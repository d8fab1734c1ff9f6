#include "message/MimeMessage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/Diagnostics.h"
#include "base/FileHandles.h"
#include "base/ascii.h"
#include "base/bigendian.h"
#include "message/MimeEncoder.h"
#include "message/charset.h"
#include "message/headertext.h"
#include "message/headerword.h"
#include "message/mimecodec.h"
#include "message/mimetoken.h"
#include "message/mimetypes.h"
#include "message/unicode.h"
#include "richtext/DocumentDirectory.h"
#include "richtext/HtmlReader.h"

namespace quill {

namespace {

constexpr const char* kWho = "MimeMessage";
// Our 8-bit set has no em dash; the separator is drawn with hyphens.
constexpr std::string_view kDigestSeparator = "-----\n";
constexpr std::string_view kAlternativeDelimiter = "-----\n";
constexpr uint32_t kSndMagic = 0x2e736e64;  // ".snd"
constexpr size_t kSndHeader = 28;

bool endsWithExtension(std::string_view name, std::string_view ext, bool ignoreCase) {
    if (name.size() <= ext.size() + 1 || name[name.size() - ext.size() - 1] != '.') return false;
    std::string_view tail = name.substr(name.size() - ext.size());
    return ignoreCase ? equalsIgnoringCase(tail, ext) : tail == ext;
}

// Our 8-bit set is ISO 8859-1, so bodies in it, in ASCII or in our own
// charset are kept as they are; any other charset is kept too, with a warning.
void warnOfForeignCharset(const std::string* charset) {
    if (charset && !isKeyEqual(*charset, "x-zell") && !isKeyEqual(*charset, "us-ascii") &&
        !isKeyEqual(*charset, "iso-8859-1"))
        logWarning(kWho, "Can't decode charset %s", charset->c_str());
}

}  // namespace

MailMessage::RunSink MimeMessage::runsInto(TextView& view) {
    return [&view](std::string_view run, bool bold) {
        unsigned plain = view.fontTraits() & ~kBoldTrait;
        view.setFontTraits(bold ? plain | kBoldTrait : plain);
        view.replaceSel(run);
        view.setFontTraits(plain);
    };
}

namespace {

// One delimiter line of a multipart body: where it starts, where the next
// line starts, and whether it closes the body.
struct Delimiter {
    size_t start;
    size_t next;
    bool closing;
};

// A delimiter line ends right after the boundary: a line with blanks after it
// is text of the part. A carriage return before the newline is the line end
// of mail saved with CRLF lines, not a blank.
bool isLineEnd(std::string_view body, size_t at, size_t& next) {
    if (at < body.size() && body[at] == '\r') ++at;
    if (at < body.size() && body[at] == '\n') {
        next = at + 1;
        return true;
    }
    return false;
}

std::optional<Delimiter> findDelimiter(std::string_view body, std::string_view boundary,
                                       size_t from) {
    std::string dashes = "--" + std::string(boundary);
    for (size_t at = body.find(dashes, from); at != std::string_view::npos;
         at = body.find(dashes, at + 1)) {
        if (at != 0 && body[at - 1] != '\n') continue;
        size_t after = at + dashes.size(), next = 0;
        if (isLineEnd(body, after, next)) return Delimiter{at, next, false};
        if (body.substr(after, 2) == "--" && isLineEnd(body, after + 2, next))
            return Delimiter{at, next, true};
    }
    return std::nullopt;
}

std::string guessBoundary(std::string_view body) {
    for (size_t at = 0; at < body.size();) {
        size_t end = body.find('\n', at);
        if (end == std::string_view::npos) end = body.size();
        if (body.substr(at, 2) == "--") {
            std::string_view rest = body.substr(at + 2, end - at - 2);
            if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
            return std::string(rest);
        }
        at = end + 1;
    }
    return "-";
}

std::string_view withoutFinalNewline(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return text;
}

// A body is never written through a link that took the file's place. The
// bytes come a piece at a time, so a large attachment is never decoded whole.
bool writeBodyFile(const std::string& path, std::string_view head, const BodyBytes& body) {
    UniqueFd fd = openFile(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
    auto write = [&fd](std::string_view piece) { return writeAll(fd.get(), piece); };
    return fd && write(head) && body.forEachPiece(write) && fd.close() == 0;
}

}  // namespace

// ---- class ----

const MailClass& MimeMessage::mailClass() {
    static const MailClass cls{
        "MimeMessage",
        "Unknown",
        "mimemail",
        true,
        &MimeMessage::willingnessToDecode,
        []() -> std::unique_ptr<MailMessage> { return std::make_unique<MimeMessage>(); }};
    return cls;
}

double MimeMessage::willingnessToDecode(const MailHeaders& headers) {
    const std::string* type = headers.valueForKey("Content-Type");
    if (headers.hasKey("MIME-Version") || (type && type->find('/') != std::string::npos))
        return 0.667;
    return 0.333;
}

void registerMimeMessageClass() { MailMessage::registerMailClass(MimeMessage::mailClass()); }

MimeMessage::~MimeMessage() {
    dropBodyFile();
    for (const auto& body : myIconBodies) body->detach();
}

// ---- headers ----

void MimeMessage::setHeaders(std::unique_ptr<MailHeaders> block) {
    MailMessage::setHeaders(std::move(block));
    if (!myHeaders) return;
    processMimeHeaders(*myHeaders);
    if (isRichBody() && !attachmentPath()) setAttachmentPath(defaultAttachmentDirectory());
    myHeaders->setDelegate(this);
}

void MimeMessage::parseParameters(std::string_view value, size_t pos, MimeParameters& into) {
    while (pos < value.size()) {
        size_t before = pos;
        std::optional<std::string> name = parseMimeToken(value, pos, "=", true);
        std::optional<std::string> text = parseMimeToken(value, pos, ";", false);
        if (name) into.setKey(*name, text ? std::optional<std::string_view>(*text) : std::nullopt);
        if (pos == before) break;
    }
}

bool MimeMessage::processMimeHeaders(MailHeaders& block) {
    for (int i = 0; i < block.count(); ++i) {
        std::string value = block.valueAt(i);
        decodeMimeHeaderWords(value);
        block.setValueNoCopyAt(std::move(value), i);
    }
    const std::string* contentType = block.valueForKey("Content-Type");
    if (!contentType) return false;
    const std::string* encoding = block.valueForKey("Content-Transfer-Encoding");
    myMimeEncoding =
        encoding ? std::optional<std::string>(trimmed(*encoding, isMailSpace)) : std::nullopt;

    myMimeParameters = MimeParameters();
    size_t pos = 0;
    myMimeType = parseMimeToken(*contentType, pos, "/", true);
    myMimeSubtype = parseMimeToken(*contentType, pos, ";", true);
    parseParameters(*contentType, pos, myMimeParameters);

    myMimeDispositionParameters = MimeParameters();
    myMimeDisposition.reset();
    if (const std::string* disposition = block.valueForKey("Content-Disposition")) {
        pos = 0;
        myMimeDisposition = parseMimeToken(*disposition, pos, ";", true);
        parseParameters(*disposition, pos, myMimeDispositionParameters);
    } else if (const std::string* sun = block.valueForKey("X-Sun-Data-Type");
               sun && !equalsIgnoringCase(trimmed(*sun, isMailSpace), "text")) {
        myMimeDisposition = "attachment";
        if (const std::string* description = block.valueForKey("Content-Description")) {
            myMimeParameters.setKey("name", *description);
            myMimeDispositionParameters.setKey("filename", *description);
        }
    }
    return true;
}

void MimeMessage::setMimeType(std::optional<std::string> type, std::optional<std::string> subtype) {
    myMimeType = std::move(type);
    myMimeSubtype = std::move(subtype);
}

const std::string* MimeMessage::mimeParameterValueForKey(std::string_view key) const {
    return myMimeParameters.valueForKey(key);
}

const std::string* MimeMessage::mimeDispositionParameterValueForKey(std::string_view key) const {
    return myMimeDispositionParameters.valueForKey(key);
}

bool MimeMessage::isType(std::string_view type) const { return isKeyEqual(myMimeType, type); }
bool MimeMessage::isSubtype(std::string_view subtype) const {
    return isKeyEqual(myMimeSubtype, subtype);
}

bool MimeMessage::isSplitMultipart() const {
    return isType("multipart") && myNesting < kMaxNesting;
}

bool MimeMessage::isRichBody() const { return !(isType("text") && isSubtype("plain")); }

// ---- reading ----

bool MimeMessage::readBodyFromStream(ByteSource& stream) {
    if (isKeyEqual(myMimeEncoding, "base64")) {
        setEncodedBody(stream.readRestShared(), TransferCoding::Base64);
    } else if (isKeyEqual(myMimeEncoding, "quoted-printable")) {
        setEncodedBody(stream.readRestShared(), TransferCoding::QuotedPrintable);
    } else {
        if (myMimeEncoding && !isKeyEqual(myMimeEncoding, "7bit") &&
            !isKeyEqual(myMimeEncoding, "8bit") && !isKeyEqual(myMimeEncoding, "binary"))
            logWarning(kWho, "No MIME reader known for \"%s\"--treating as 7bit",
                       myMimeEncoding->c_str());
        if (!MailMessage::readBodyFromStream(stream)) return false;
    }
    warnOfForeignCharset(mimeParameterValueForKey("charset"));
    return true;
}

std::unique_ptr<MimeMessage> MimeMessage::initFromStream(ByteSource& stream) {
    auto part = std::make_unique<MimeMessage>();
    if (!part->readFromStream(stream)) return nullptr;
    return part;
}

// ---- body objects ----

MimeRichText* MimeMessage::textBody() {
    decodeBody();
    return myTextBody.get();
}

const MimeMessage::PartList* MimeMessage::parts() {
    decodeBody();
    return myParts.get();
}

const std::string* MimeMessage::imageFile() {
    decodeBody();
    return myImageFile ? &*myImageFile : nullptr;
}

const MimeMessage::Sound* MimeMessage::sound() {
    decodeBody();
    return mySound.get();
}

void MimeMessage::decodeBody() {
    if (myBodyDecoded) return;
    myBodyDecoded = true;
    struct Decoder {
        const char* name;
        void (MimeMessage::*decode)();
    };
    static constexpr Decoder kDecoders[] = {{"audio", &MimeMessage::decodeAudioBody},
                                            {"image", &MimeMessage::decodeImageBody},
                                            {"text", &MimeMessage::decodeTextBody},
                                            {"multipart", &MimeMessage::decodeMultipartBody},
                                            {nullptr, nullptr}};
    if (!myMimeType) return;
    const Decoder* found = kDecoders;
    while (found->name && !equalsIgnoringCase(found->name, *myMimeType)) ++found;
    if (found->decode)
        (this->*found->decode)();
    else
        logWarning(kWho, "No MIME decoder known for %s--treating as text/plain",
                   myMimeType->c_str());
}

void MimeMessage::decodeTextBody() {
    myTextBody = std::make_unique<MimeRichText>();
    fillTextBody(*myTextBody, bodyView());
}

std::string MimeMessage::charsetParameter() const {
    const std::string* charset = mimeParameterValueForKey("charset");
    return charset ? std::string(trimmed(*charset, isMailSpace)) : std::string();
}

MimeRichText* MimeMessage::unicodeTextBody() {
    if (!isType("text")) return nullptr;
    if (!myUnicodeBody) {
        myUnicodeBody = std::make_unique<MimeRichText>();
        myUnicodeBody->setUtf8(true);
        fillTextBody(*myUnicodeBody, textToUtf8(bodyView(), charsetParameter()));
    }
    return myUnicodeBody.get();
}

void MimeMessage::fillTextBody(MimeRichText& view, std::string_view body) {
    if (isSubtype("richtext")) {
        view.readMimeRichText(body);
    } else if (isSubtype("enriched")) {
        view.readMimeEnriched(body);
    } else if (isSubtype("rtf")) {
        view.selectAll();
        if (!view.replaceSelWithRTF(body)) view.replaceSel(body);
    } else {
        if (!isSubtype("plain") &&
            !(myMimeSubtype && lowercased(*myMimeSubtype).starts_with("x-zell")))
            logNote(kWho, "Unknown mime text subtype %s, treating as plain",
                    myMimeSubtype ? myMimeSubtype->c_str() : "");
        view.setPlainMode(true);
        view.selectAll();
        view.replaceSel(body);
    }
}

void MimeMessage::decodeMultipartBody() {
    if (!isSplitMultipart()) return;
    myParts = std::make_unique<PartList>();
    const SharedBytes& shared = sharedBody();
    std::string_view body = shared.view();
    std::string boundary;
    if (const std::string* parameter = mimeParameterValueForKey("boundary")) {
        boundary = *parameter;
    } else {
        boundary = guessBoundary(body);
        logWarning(kWho, "Missing multipart boundary parameter; using \"%.*s\"",
                   static_cast<int>(boundary.size()), boundary.data());
    }
    std::optional<Delimiter> delimiter = findDelimiter(body, boundary, 0);
    if (!delimiter) logWarning(kWho, "Missing terminating boundary of MIME multipart message");
    if (!delimiter || delimiter->closing)
        return keepUndelimitedBody(body.substr(0, delimiter ? delimiter->start : body.size()));
    while (delimiter && !delimiter->closing) {
        size_t start = delimiter->next;
        delimiter = findDelimiter(body, boundary, start);
        std::string_view text;
        if (delimiter) {
            text = withoutFinalNewline(body.substr(start, delimiter->start - start));
        } else {
            logWarning(kWho, "Missing terminating boundary of MIME multipart message");
            if (body.size() > start + 1) text = body.substr(start, body.size() - 1 - start);
        }
        ByteSource stream(shared.sliceFor(text));
        if (std::unique_ptr<MimeMessage> part = initFromStream(stream)) {
            part->nestIn(*this);
            myParts->push_back(std::move(part));
        }
    }
}

// Text with no delimiter line before it would all be preamble; rather than
// let the message show nothing, it is kept as one part without headers.
void MimeMessage::keepUndelimitedBody(std::string_view body) {
    if (body.find_first_not_of(" \t\r\n") == std::string_view::npos) return;
    std::string text = "\n";
    text += body;
    ByteSource stream(text);
    if (std::unique_ptr<MimeMessage> part = initFromStream(stream)) {
        part->nestIn(*this);
        myParts->push_back(std::move(part));
    }
}

void MimeMessage::decodeImageBody() { myImageFile = tmpBodyFile(true); }

void MimeMessage::decodeAudioBody() {
    std::string_view body = bodyView();
    if (isSubtype("basic") && !body.starts_with(".snd")) {
        mySound = std::make_unique<Sound>();
        std::string& data = mySound->data;
        for (uint32_t word :
             {kSndMagic, uint32_t(kSndHeader), uint32_t(body.size()), 1u, 8012u, 1u, 0u})
            appendU32(data, word);
        data.append(body);
        return;
    }
    if (body.size() < 24 || getU32(body.data()) != kSndMagic ||
        getU32(body.data() + 4) > body.size()) {
        logWarning(kWho, "Can't decode audio contents");
        return;
    }
    mySound = std::make_unique<Sound>(Sound{std::string(body)});
}

bool MimeMessage::isAudioBasicBody(std::string_view body) {
    if (body.size() < kSndHeader || !body.starts_with(".snd")) return true;
    uint32_t format = getU32(body.data() + 12), rate = getU32(body.data() + 16),
             channels = getU32(body.data() + 20);
    return format == 1 && (rate == 8012 || rate == 8000) && channels == 1;
}

// ---- writing ----

void MimeMessage::setParts(PartList parts) {
    myParts = std::make_unique<PartList>(std::move(parts));
    myBodyDecoded = true;
}

void MimeMessage::appendPart(std::unique_ptr<MimeMessage> part) {
    if (!parts()) myParts = std::make_unique<PartList>();
    part->nestIn(*this);
    myParts->push_back(std::move(part));
}

bool MimeMessage::writeHeadersToStream(ByteSink& sink) {
    return MimeEncoder::writeHeadersToStream(*this, sink, true);
}

bool MimeMessage::writeBodyToStream(ByteSink& sink) {
    return MimeEncoder::writeBodyToStream(*this, sink);
}

bool MimeMessage::writeToStreamWithMimeVersion(ByteSink& sink, bool withVersion) {
    return MimeEncoder::writeToStream(*this, sink, withVersion);
}

bool MimeMessage::writeHeaderKey(std::string_view key, std::string_view value, ByteSink& sink) {
    return MimeEncoder::writeHeaderKey(key, value, sink);
}

bool MimeMessage::addSignature() { return MimeEncoder::addSignature(*this); }

// ---- files ----

void MimeMessage::setMimeTypeFromFile(const std::string& name) {
    for (const MimeFileType& entry : mimeTypeMap()) {
        if (entry.subtype == "*" || !endsWithExtension(name, entry.extension, false)) continue;
        if (entry.type == "audio" && entry.subtype == "basic" && !isAudioBasicBody(bodyView()))
            continue;
        setMimeType(entry.type, entry.subtype);
        return;
    }
    setMimeType("application", "octet-stream");
}

std::string MimeMessage::attachmentDirectory() {
    const std::optional<std::string>& directory = defaultAttachmentDirectory();
    return directory && !directory->empty() ? *directory : "/tmp";
}

void MimeMessage::dropBodyFile() {
    if (myBodyFile && myBodyFileOwner) AttachmentBody::removeWritten(*myBodyFile);
    myBodyFile.reset();
    myBodyFileOwner = false;
}

std::string MimeMessage::fileBaseName() const {
    std::string name = "mime-attachment";
    if (!(isType("message") && isSubtype("external-body"))) {
        const std::string* given = mimeDispositionParameterValueForKey("filename");
        if (!given) given = mimeParameterValueForKey("filename");
        if (!given) given = mimeParameterValueForKey("name");
        if (given && !given->empty()) name = *given;
    }
    // A name from the mail names one file in the attachment directory, nothing
    // above it and nothing cut short.
    for (char& c : name)
        if (c == '/' || c == '\0') c = '-';
    return name;
}

std::string MimeMessage::bodyFileName() const {
    std::string name = fileBaseName();
    std::vector<const MimeFileType*> entries;
    for (const MimeFileType& entry : mimeTypeMap())
        if (isType(entry.type) && (entry.subtype == "*" || isSubtype(entry.subtype)))
            entries.push_back(&entry);
    bool rewritten = false;
    for (const MimeFileType* entry : entries) {
        if (entry->extension.empty() || !endsWithExtension(name, entry->extension, true)) continue;
        name.replace(name.size() - entry->extension.size(), entry->extension.size(),
                     entry->extension);
        rewritten = true;
        break;
    }
    if (!rewritten && !entries.empty() && !entries.front()->extension.empty())
        name += formatString(".%s", entries.front()->extension.c_str());
    if (entries.empty() && myMimeSubtype && name.find('.') == std::string::npos &&
        !isType("application") && !isSubtype("octet-stream")) {
        std::string subtype = *myMimeSubtype;
        if (lowercased(subtype).starts_with("x-")) subtype.erase(0, 2);
        name += formatString(".%s", lowercased(subtype).c_str());
    }
    return name;
}

std::string MimeMessage::bodyFileIn(const std::optional<std::string>& directory) {
    dropBodyFile();
    std::string name = bodyFileName();
    std::string path = directory ? formatString("%s/", directory->c_str()) + name : name;
    if (directory) mkuniquefile(path);
    myBodyFile = path;
    myBodyFileOwner = false;
    return path;
}

std::string MimeMessage::tmpBodyFile(bool save) {
    if (!myBodyFile) {
        claimTemporaryBodyFile(bodyFileIn(attachmentDirectory()));
        myBodyFileOwner = true;
    }
    std::string path = *myBodyFile;
    if (save) saveBodyToFile(path);
    return path;
}

// The temporary body file is made at once, exclusively and private to the
// user, so nothing planted under its name is written through; a multipart
// body makes its directory when it is saved.
void MimeMessage::claimTemporaryBodyFile(std::string path) {
    if (isType("multipart")) return;
    if (createUniqueFile(path, 0600)) {
        myBodyFile = path;
    } else {
        std::perror(path.c_str());
    }
}

bool MimeMessage::saveBodyToFile(const std::string& path) {
    bool ok = true;
    if (isSplitMultipart()) {
        if (::mkdir(path.c_str(), 0777) != 0) return false;
        if (const PartList* list = parts())
            for (const auto& part : *list) ok = part->saveBodyToFile(part->bodyFileIn(path)) && ok;
    } else {
        const Sound* audio = isType("audio") ? sound() : nullptr;
        ok =
            audio ? writeBodyFile(path, audio->data, BodyBytes()) : writeBodyFile(path, {}, myBody);
    }
    const std::string* mode = mimeParameterValueForKey("x-unix-mode");
    if (ok && mode) {
        // Permissions only: a mail never makes a set-user-ID file.
        long bits = std::strtol(mode->c_str(), nullptr, 0) & 0777;
        if (bits != 0) ::chmod(path.c_str(), static_cast<mode_t>(bits));
    }
    return ok;
}

// ---- rendering ----

std::shared_ptr<const AttachmentBody> MimeMessage::iconBody(AttachmentBody::Writer write) {
    myIconBodies.push_back(std::make_shared<AttachmentBody>(std::move(write)));
    return myIconBodies.back();
}

bool MimeMessage::saveWholePartToFile(const std::string& path) {
    ByteSink sink;
    MailMessage::writeHeadersToStream(sink);
    sink.write("\n");
    return writeBodyFile(path, sink.bytes(), myBody);
}

void MimeMessage::insertIcon(TextView& view, bool wholePart) {
    AttachmentBody::Writer write;
    if (wholePart)
        write = [this](const std::string& path) { return saveWholePartToFile(path); };
    else
        write = [this](const std::string& path) { return saveBodyToFile(path); };
    view.replaceSelWithAttachment(bodyFileName(), iconBody(std::move(write)));
}

void MimeMessage::replaceSelWithBodyInView(TextView& view, const RenderOptions& options) {
    if (!myMimeType) {
        view.replaceSel(view.isUtf8() ? utf8OrLatin1(bodyView()) : std::string(bodyView()));
    } else if (isType("multipart")) {
        renderMultipart(view, options);
    } else if (isType("text")) {
        renderText(view);
    } else if (isType("message") && isSubtype("rfc822")) {
        renderEmbeddedMessage(view, options);
    } else if (isType("message") && isSubtype("external-body") && renderLocalFile(view)) {
        return;
    } else {
        insertIcon(view, isType("message"));
    }
}

bool MimeMessage::showsWholeWhenTooDeep(TextView& view, bool wholePart) {
    if (myNesting < kMaxNesting) return false;
    logWarning(kWho, "MIME parts nested more than %d deep; showing the rest as one attachment",
               kMaxNesting);
    insertIcon(view, wholePart);
    return true;
}

void MimeMessage::renderText(TextView& view) {
    if (isKeyEqual(myMimeDisposition, "attachment")) return insertIcon(view, false);
    if (isSubtype("html")) {
        if (view.isUtf8()) {
            std::string html = textToUtf8(bodyView(), charsetParameter());
            view.replaceSelWithDocument(HtmlReader::read(html, view.typingFormat()));
        }
        return insertIcon(view, false);
    }
    if (MimeRichText* text = view.isUtf8() ? unicodeTextBody() : textBody())
        view.replaceSelWithView(*text);
}

void MimeMessage::renderMultipart(TextView& view, const RenderOptions& options) {
    if (showsWholeWhenTooDeep(view, false)) return;
    if (isSubtype("alternative")) return renderAlternatives(view, options);
    if (isSubtype("x-folder")) return insertIcon(view, false);
    if (isSubtype("x-rtfd") && renderDocument(view)) return;
    const PartList* list = parts();
    if (!list) return;
    bool digest = isSubtype("digest");
    bool previousText = false;
    for (size_t i = 0; i < list->size(); ++i) {
        MimeMessage& part = *(*list)[i];
        if (digest && i > 0) view.replaceSel(kDigestSeparator);
        bool text = part.showsAsText();
        size_t before = view.selStart();
        if (!digest && (text || previousText)) separateFromPreviousPart(view);
        size_t after = view.selStart();
        part.replaceSelWithBodyInView(view, options);
        if (view.selStart() == after && after != before) {  // nothing shown: no gap either
            view.setSel(before, after);
            view.replaceSel("");
        }
        previousText = text;
    }
}

// A rich document sent as its directory's entries: the entries are saved
// into a directory of their own, which is then read as one document whose
// files stay there for its icons.
bool MimeMessage::renderDocument(TextView& view) {
    std::string dir = bodyFileIn(attachmentDirectory());
    mkuniquefile(dir);
    if (!saveBodyToFile(dir)) return false;
    std::unique_ptr<DocumentDirectory> document = DocumentDirectory::load(dir);
    if (!document) return false;
    view.replaceSelWithDocument(document->text());
    return true;
}

// Whether the part shows as text rather than as an attachment icon.
bool MimeMessage::showsAsText() const {
    if (!myMimeType || isType("multipart")) return !isSubtype("x-folder");
    if (isType("text")) return !isKeyEqual(myMimeDisposition, "attachment") && !isSubtype("html");
    return isType("message") && isSubtype("rfc822");
}

// Text parts stand apart from their neighbours by one blank line, so an
// enclosed message's headers start on a line of their own; icons in a row
// keep to their lines.
void MimeMessage::separateFromPreviousPart(TextView& view) {
    size_t at = view.selStart();
    if (at == 0) return;
    const std::string& text = view.plainText();
    size_t newlines = 0;
    while (newlines < 2 && newlines < at && text[at - 1 - newlines] == '\n') ++newlines;
    if (newlines < 2) view.replaceSel(std::string(2 - newlines, '\n'));
}

void MimeMessage::renderAlternatives(TextView& view, const RenderOptions& options) {
    const PartList* list = parts();
    // A type that only the "x-" rule calls multipart is never split into parts.
    if (!list && options.alternatives) logRaw("# chooseMimeAlternative: body is not a list!\n");
    if (!list || list->empty()) return;
    AlternativeChoice choice = options.alternatives.value_or(AlternativeChoice::Last);
    if (choice == AlternativeChoice::First)
        return list->front()->replaceSelWithBodyInView(view, options);
    if (choice != AlternativeChoice::All)
        return list->back()->replaceSelWithBodyInView(view, options);
    for (size_t i = 0; i < list->size(); ++i) {
        (*list)[i]->replaceSelWithBodyInView(view, options);
        if (i + 1 == list->size()) break;
        const std::string& text = view.plainText();
        if (view.selStart() > 0 && text[view.selStart() - 1] != '\n') view.replaceSel("\n");
        view.replaceSel(kAlternativeDelimiter);
    }
}

void MimeMessage::renderEmbeddedMessage(TextView& view, const RenderOptions& options) {
    if (showsWholeWhenTooDeep(view, true)) return;
    ByteSource stream(sharedBody());
    std::unique_ptr<MailMessage> message = MailMessage::newFromStream(stream);
    if (!message) {
        view.replaceSel(bodyView());
        return;
    }
    RunSink runs = runsInto(view);
    message->replaceSelWithHeaderBlock(runs, bodyView(), view.isUtf8());
    if (auto* mime = dynamic_cast<MimeMessage*>(message.get())) {
        mime->nestIn(*this);
        mime->replaceSelWithBodyInView(view, options);
    } else {
        message->replaceSelWithBodyInText(view.isUtf8() ? utf8Runs(runs) : runs);
    }
    myEmbedded.push_back(std::move(message));
}

bool MimeMessage::renderLocalFile(TextView& view) {
    const std::string* access = mimeParameterValueForKey("access-type");
    const std::string* name = mimeParameterValueForKey("name");
    if (!access || !name || !equalsIgnoringCase(*access, "local-file")) return false;
    size_t slash = name->find_last_of('/');
    std::string target = *name;
    auto link = [target](const std::string& path) {
        if (::symlink(target.c_str(), path.c_str()) == 0) return true;
        std::perror(path.c_str());
        return false;
    };
    view.replaceSelWithAttachment(slash == std::string::npos ? target : target.substr(slash + 1),
                                  iconBody(std::move(link)));
    return true;
}

void MimeMessage::replaceSelWithBodyInText(const RunSink& out) {
    TextView view;
    replaceSelWithBodyInView(view);
    out(textWithAttachmentNames(view), false);
}

std::string MimeMessage::textWithAttachmentNames(const TextView& view) {
    const std::string& text = view.plainText();
    return view.richText().textWithCells([&](std::string& out, const Attachment& cell, size_t i) {
        if (!out.empty() && out.back() != '\n') out.push_back('\n');
        out += "[attachment: " + cell.name + "]";
        if (i + 1 >= text.size() || text[i + 1] != '\n') out.push_back('\n');
    });
}

}  // namespace quill

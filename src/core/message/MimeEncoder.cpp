#include "message/MimeEncoder.h"

#include <cstdint>

#include "base/Diagnostics.h"
#include "base/bigendian.h"
#include "message/MimeMessage.h"
#include "message/mimetoken.h"
#include "message/mimewrite.h"

namespace quill {

namespace {

constexpr const char* kWho = "MimeMessage";

struct Settings {
    bool autoAlternative = true;
    bool write8BitText = false;
    std::optional<std::string> missingAttachment;
};

Settings& settings() {
    static Settings s;
    return s;
}

bool hasHighBytes(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 128) return true;
    return false;
}

bool isType(const MimeMessage& m, std::string_view type) { return isKeyEqual(m.mimeType(), type); }
bool isSubtype(const MimeMessage& m, std::string_view sub) {
    return isKeyEqual(m.mimeSubtype(), sub);
}

// The charset a text body declares for its encoding when none is set yet.
const char* charsetFor(const MimeMessage& m, bool ascii) {
    if (ascii) return "us-ascii";
    return isSubtype(m, "rtf") ? "x-zell" : "iso-8859-1";
}

}  // namespace

bool MimeEncoder::autoAlternative() { return settings().autoAlternative; }
void MimeEncoder::setAutoAlternative(bool flag) { settings().autoAlternative = flag; }
bool MimeEncoder::write8BitText() { return settings().write8BitText; }
void MimeEncoder::setWrite8BitText(bool flag) { settings().write8BitText = flag; }
const std::optional<std::string>& MimeEncoder::missingAttachmentString() {
    return settings().missingAttachment;
}
void MimeEncoder::setMissingAttachmentString(std::optional<std::string> text) {
    settings().missingAttachment = std::move(text);
}

const std::string& MimeEncoder::versionString() {
    static const std::string version =
        "1.0 (Tessel Quill " + platformBuildText() + " " + std::string(kMailerVersionText) + ")";
    return version;
}

void MimeEncoder::chooseBestEncodingAndCharsetIfText(MimeMessage& message) {
    std::string_view body = message.bodyView();
    bool text = isType(message, "text");
    // Text turns to base64 when half its bytes are bad, other types at a
    // sixth; the scan stops once that is settled.
    size_t factor = text ? 2 : 6;
    BodyScan scan = scanBody(body, std::max<size_t>(1, (body.size() + factor - 1) / factor));
    if (text && !message.mimeParameterValueForKey("charset"))
        message.setMimeParameter("charset", charsetFor(message, scan.badBytes == 0));
    int width = MailMessage::lineLength();
    const char* encoding;
    if (scan.badBytes == 0 && (width == 0 || scan.longestLine < static_cast<size_t>(width))) {
        encoding = "7bit";
    } else if (isType(message, "message") || (text && write8BitText())) {
        encoding = "8bit";
    } else {
        encoding = factor * scan.badBytes >= body.size() ? "base64" : "quoted-printable";
    }
    message.setMimeEncoding(encoding);
}

std::string MimeEncoder::parameterText(const std::string& head, const MailHeaders& params) {
    std::string value = head;
    for (int pos = params.count() - 1; pos >= 0; --pos) {
        value += "; " + quotedMimeString(params.keyAt(pos));
        value += "=" + quotedMimeString(params.valueAt(pos));
    }
    return value;
}

void MimeEncoder::addMimeHeaders(MimeMessage& message, bool withVersion) {
    const std::optional<std::string>& encoding = message.mimeEncoding();
    if (isType(message, "multipart")) {
        message.setMimeEncoding("7bit");
        if (!message.mimeParameterValueForKey("boundary"))
            message.setMimeParameter("boundary", makeBoundary());
    } else if (encoding && !encoding->empty()) {
        if (isType(message, "text") && !message.mimeParameterValueForKey("charset"))
            message.setMimeParameter("charset", charsetFor(message, isKeyEqual(*encoding, "7bit")));
    } else {
        chooseBestEncodingAndCharsetIfText(message);
    }
    MailHeaders& block = message.headers();
    const std::optional<std::string>& disposition = message.mimeDisposition();
    block.setKey("Content-Disposition",
                 disposition ? std::optional<std::string>(
                                   parameterText(*disposition, message.mimeDispositionParameters()))
                             : std::nullopt);
    block.setKey("Content-Transfer-Encoding", message.mimeEncoding());
    if (message.mimeType() && message.mimeSubtype()) {
        block.setKey("Content-Type",
                     parameterText(*message.mimeType() + "/" + *message.mimeSubtype(),
                                   message.mimeParameters()));
    } else {
        block.removeKey("Content-Type");
    }
    if (withVersion) block.setKey("MIME-Version", versionString());
}

bool MimeEncoder::writeHeadersToStream(MimeMessage& message, ByteSink& sink, bool withVersion) {
    addMimeHeaders(message, withVersion);
    MailHeaders& block = message.headers();
    block.setDelegate(&message);
    return block.writeToStream(sink);
}

bool MimeEncoder::writeToStream(MimeMessage& message, ByteSink& sink, bool withVersion) {
    if (!writeHeadersToStream(message, sink, withVersion)) return false;
    // A multipart body opens with a newline of its own, which ends the headers.
    if (!isType(message, "multipart") && !sink.put('\n')) return false;
    return writeBodyToStream(message, sink);
}

// Quill's own 8-bit set is ISO 8859-1, so no charset needs converting.
bool MimeEncoder::writeBodyToStream(MimeMessage& message, ByteSink& sink) {
    return writeBodyToStream(message, sink, message.mimeEncoding().value_or(""));
}

bool MimeEncoder::writeMultipart(MimeMessage& message, ByteSink& sink) {
    const std::string* boundary = message.mimeParameterValueForKey("boundary");
    std::string delimiter = "\n--" + (boundary ? *boundary : std::string()) + "\n";
    bool ok = true;
    if (const MimeMessage::PartList* parts = message.parts()) {
        for (const std::unique_ptr<MimeMessage>& part : *parts) {
            sink.write(delimiter);
            ok = writeToStream(*part, sink, false) && ok;
        }
    }
    delimiter.insert(delimiter.size() - 1, "--");
    sink.write(delimiter);
    return ok && sink.ok();
}

bool MimeEncoder::writeBodyToStream(MimeMessage& message, ByteSink& sink,
                                    const std::string& encoding) {
    std::string_view body = message.bodyView();
    int width = MailMessage::lineLength();
    if (isType(message, "audio") && isSubtype(message, "basic") && body.size() > 28 &&
        body.starts_with(".snd")) {
        // The sound goes without its header; the second word is where the data starts.
        size_t offset = getU32(body.data() + 4);
        return sink.write(offset < body.size() ? body.substr(offset) : std::string_view());
    }
    if (isType(message, "multipart")) return writeMultipart(message, sink);
    if (isKeyEqual(encoding, "quoted-printable")) return writeQuotedPrintable(body, sink, width);
    if (isKeyEqual(encoding, "base64")) return writeBase64(body, sink, width);
    if (isKeyEqual(encoding, "8bit") && isType(message, "text") && isSubtype(message, "plain"))
        return message.writeBodyToStreamWrapAtColumn(sink, width);
    if (!isKeyEqual(encoding, "7bit") && !isKeyEqual(encoding, "8bit") &&
        !isKeyEqual(encoding, "binary"))
        logWarning(kWho, "Unknown \"%s\" encoding requested--writing 8bit instead",
                   encoding.c_str());
    return message.MailMessage::writeBodyToStream(sink);
}

bool MimeEncoder::writeHeaderKey(std::string_view key, std::string_view value, ByteSink& sink) {
    if (!hasHighBytes(value)) return MailHeaders::writeHeaderKey(key, value, sink);
    if (!write8BitText()) return writeEncodedHeaderLine(key, value, sink);
    return MailHeaders::writeHeaderKey(key, value, sink);
}

bool MimeEncoder::addSignature(MimeMessage& message) {
    if (!isType(message, "multipart"))
        return isType(message, "text") && message.MailMessage::addSignature();
    const MimeMessage::PartList* parts = message.parts();
    if (!parts) return false;
    if (isSubtype(message, "alternative")) {
        bool ok = true;
        for (const std::unique_ptr<MimeMessage>& part : *parts) ok = part->addSignature() && ok;
        return ok;
    }
    if (!isSubtype(message, "mixed")) return false;
    if (!parts->empty() && parts->back()->addSignature()) return true;
    auto signature = std::make_unique<MimeMessage>();
    signature->setMimeType("text", "plain");
    signature->setMimeDisposition("inline");
    bool ok = signature->addSignature();
    message.appendPart(std::move(signature));
    return ok;
}

}  // namespace quill

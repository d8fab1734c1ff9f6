// MimeEncoder: how a MimeMessage writes itself for sending. It settles the
// transfer encoding and character set from the body, sets the MIME headers
// (a fresh message gets "MIME-Version", "Content-Type",
// "Content-Transfer-Encoding", "Content-Disposition" in that order), writes
// header values with 8-bit bytes as encoded words and bodies in base64,
// quoted-printable, 7bit or 8bit, multipart bodies part by part between
// their boundaries. Also the class-wide switches that composing follows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/ByteSink.h"

namespace quill {

class MimeMessage;

class MimeEncoder {
  public:
    // A rich text goes as multipart/alternative with a plain part first (on by default).
    static bool autoAlternative();
    static void setAutoAlternative(bool flag);
    // Text goes 8bit and header values unencoded (off by default).
    static bool write8BitText();
    static void setWrite8BitText(bool flag);
    // What stands in the plain alternative where the rich text had an attachment.
    static const std::optional<std::string>& missingAttachmentString();
    static void setMissingAttachmentString(std::optional<std::string> text);
    // The "MIME-Version" value.
    static const std::string& versionString();

    // Sets a transfer encoding (and for text a "charset") from the body.
    static void chooseBestEncodingAndCharsetIfText(MimeMessage& message);
    static void addMimeHeaders(MimeMessage& message, bool withVersion);
    static bool writeHeadersToStream(MimeMessage& message, ByteSink& sink, bool withVersion);
    static bool writeToStream(MimeMessage& message, ByteSink& sink, bool withVersion);
    static bool writeBodyToStream(MimeMessage& message, ByteSink& sink);
    static bool writeBodyToStream(MimeMessage& message, ByteSink& sink,
                                  const std::string& encoding);
    static bool writeHeaderKey(std::string_view key, std::string_view value, ByteSink& sink);
    static bool addSignature(MimeMessage& message);

  private:
    static std::string parameterText(const std::string& head, const class MailHeaders& params);
    static bool writeMultipart(MimeMessage& message, ByteSink& sink);
};

}  // namespace quill

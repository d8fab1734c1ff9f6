// SunMessage: mail in the Sun mail tool's attachment format. The message's
// "Content-Type" is "X-Sun-Attachment" and its body a row of parts, each
// opened by a line of ten hyphens and a small block of "X-Sun-" headers. The
// first part is shown inline when it is text; every other part is an icon
// with its name and description, whose file is decoded (uuencode, compress)
// and written only when the icon is opened. The format is read only.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "message/AttachmentBody.h"
#include "message/MailMessage.h"
#include "richtext/TextView.h"

namespace quill {

class SunMessage : public MailMessage {
  public:
    SunMessage() = default;
    ~SunMessage() override;

    static const MailClass& mailClass();
    const MailClass& formatClass() const override { return mailClass(); }
    // 1 for a "Content-Type" of exactly "X-Sun-Attachment" (any case), else 0.
    static double willingnessToDecode(const MailHeaders& headers);
    bool isRichBody() const override;

    // The parts of a whole message, split on first use.
    const std::vector<std::unique_ptr<SunMessage>>& bodyParts();

    std::optional<std::string> dataType() const { return value("X-Sun-Data-Type"); }
    std::optional<std::string> dataDescription() const { return value("X-Sun-Data-Description"); }
    // The file name, every "/" made "-" so it names no other directory.
    std::optional<std::string> dataName() const;
    std::optional<std::string> charset() const { return value("X-Sun-Charset"); }
    std::optional<std::string> encodingInfo() const { return value("X-Sun-Encoding-Info"); }

    // The extension for a Sun data type and whether such files are programs.
    static std::optional<std::string> filetypeForSunAttachmentType(std::string_view type,
                                                                   bool* executable);
    // The data with its encodings undone, last applied first. A step that
    // fails is logged and leaves the data as far as it got.
    std::string decodedBody() const;
    // Writes the decoded data to path (a file made anew, never followed through a link).
    bool saveDecodedBodyTo(const std::string& path, mode_t mode) const;
    // The name the part's file gets: the data name with the type's extension
    // unless it already ends in it; empty without a data name.
    std::string bodyFileName() const;
    // The file mode for the part's type: 0755 for programs, else 0644.
    mode_t bodyFileMode() const;

    // Shows the message, or one part, at the view's selection.
    void replaceSelWithBodyInView(TextView& view);
    void replaceSelWithBodyInView(TextView& view, bool inlineIfTextPart);

    // The parts of a Sun body, with their headers and data (for splitting alone).
    static std::vector<std::unique_ptr<SunMessage>> splitBody(std::string_view body);

  private:
    std::optional<std::string> value(std::string_view key) const;
    bool decodeStep(const std::string& encoding, std::string& data) const;
    void showInline(TextView& view);
    void showAsIcon(TextView& view);

    std::vector<std::unique_ptr<SunMessage>> myBodyParts;
    bool myPartsMade = false;
    std::vector<std::shared_ptr<AttachmentBody>> myIconBodies;
};

void registerSunMessageClass();

}  // namespace quill

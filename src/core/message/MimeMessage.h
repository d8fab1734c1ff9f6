// MimeMessage: the format class for MIME mail and for every part of a
// multipart body. Reading interprets the MIME headers (type, parameters,
// disposition, transfer encoding), undoes the transfer encoding and the
// character set, and turns the body into a body object by media type: a text
// view, a list of parts, an image file or a sound. Rendering puts a message
// into a reader view with its attachments shown as file icons named after the
// file-type map; an icon's file is written only when it is opened or saved.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "message/AlternativeChoice.h"
#include "message/AttachmentBody.h"
#include "message/MailMessage.h"
#include "message/MimeParameters.h"
#include "richtext/MimeRichText.h"

namespace quill {

class TextView;

class MimeMessage : public MailMessage {
  public:
    using PartList = std::vector<std::unique_ptr<MimeMessage>>;
    // A sound in the .snd format, header included.
    struct Sound {
        std::string data;
    };
    // How a reader shows multipart/alternative: none = last part; else the
    // reader's choice.
    struct RenderOptions {
        std::optional<AlternativeChoice> alternatives;
    };

    MimeMessage() = default;
    ~MimeMessage() override;

    static const MailClass& mailClass();
    const MailClass& formatClass() const override { return mailClass(); }
    static double willingnessToDecode(const MailHeaders& headers);

    // ---- headers ----
    void setHeaders(std::unique_ptr<MailHeaders> block) override;
    // Decodes every value, reads the MIME fields; true when a Content-Type was found.
    bool processMimeHeaders(MailHeaders& block);

    const std::optional<std::string>& mimeEncoding() const { return myMimeEncoding; }
    const std::optional<std::string>& mimeType() const { return myMimeType; }
    const std::optional<std::string>& mimeSubtype() const { return myMimeSubtype; }
    void setMimeType(std::optional<std::string> type, std::optional<std::string> subtype);
    const MimeParameters& mimeParameters() const { return myMimeParameters; }
    const std::string* mimeParameterValueForKey(std::string_view key) const;
    const std::optional<std::string>& mimeDisposition() const { return myMimeDisposition; }
    const MimeParameters& mimeDispositionParameters() const { return myMimeDispositionParameters; }
    const std::string* mimeDispositionParameterValueForKey(std::string_view key) const;

    bool isRichBody() const override;

    // ---- reading ----
    // Undoes the transfer encoding, then converts from the "charset" parameter.
    bool readBodyFromStream(ByteSource& stream) override;
    // A part: headers, empty line, body.
    static std::unique_ptr<MimeMessage> initFromStream(ByteSource& stream);

    // ---- body objects (decoded on first request, kept) ----
    MimeRichText* textBody();
    // The text body for the Unicode display: UTF-8 from the declared charset.
    MimeRichText* unicodeTextBody();
    const PartList* parts();
    const std::string* imageFile();
    const Sound* sound();
    static bool isAudioBasicBody(std::string_view body);

    // ---- files ----
    // Sets the type from the file name's extension (application/octet-stream
    // when nothing fits).
    void setMimeTypeFromFile(const std::string& name);
    // The body's file name: the given name, else one from the type, with the map's extension.
    std::string bodyFileName() const;
    std::string bodyFileIn(const std::optional<std::string>& directory);
    std::string tmpBodyFile(bool save);
    bool saveBodyToFile(const std::string& path);
    bool saveBodyToFile() { return saveBodyToFile(bodyFileIn(attachmentDirectory())); }

    // ---- rendering ----
    // A view in UTF-8 gets the Unicode display: text in its own charset and
    // HTML shown inline as well as offered as an icon.
    void replaceSelWithBodyInView(TextView& view, const RenderOptions& options = {});
    // The same as plain text runs, attachments shown by name.
    void replaceSelWithBodyInText(const RunSink& out) override;

    // Header runs into a view: keys bold, values in the view's plain traits.
    static RunSink runsInto(TextView& view);
    // The view's text with each attachment icon as a line "[attachment: NAME]".
    static std::string textWithAttachmentNames(const TextView& view);

    // Where temporary body files go: the default attachment directory, else "/tmp".
    static std::string attachmentDirectory();

    // Parts nested deeper than this (multiparts and embedded messages alike)
    // are not split: a multipart there is kept whole as one attachment.
    static constexpr int kMaxNesting = 32;
    int nesting() const { return myNesting; }

  private:
    void decodeBody();
    void decodeTextBody();
    void fillTextBody(MimeRichText& view, std::string_view body);
    std::string charsetParameter() const;
    void renderText(TextView& view);
    void decodeMultipartBody();
    void keepUndelimitedBody(std::string_view body);
    void claimTemporaryBodyFile(std::string path);
    void decodeImageBody();
    void decodeAudioBody();
    void parseParameters(std::string_view value, size_t pos, MimeParameters& into);
    void dropBodyFile();
    bool isSubtype(std::string_view subtype) const;
    bool isType(std::string_view type) const;
    // A multipart this reader splits into parts (not one nested too deep).
    bool isSplitMultipart() const;
    void nestIn(const MimeMessage& parent) { myNesting = parent.myNesting + 1; }
    std::string fileBaseName() const;
    void insertIcon(TextView& view, bool wholePart);
    std::shared_ptr<const AttachmentBody> iconBody(AttachmentBody::Writer write);
    bool saveWholePartToFile(const std::string& path);
    // Beyond the nesting limit: an icon for the rest (the whole part when
    // asked), with a warning; true when so shown.
    bool showsWholeWhenTooDeep(TextView& view, bool wholePart);
    void renderMultipart(TextView& view, const RenderOptions& options);
    static void separateFromPreviousPart(TextView& view);
    bool showsAsText() const;
    void renderAlternatives(TextView& view, const RenderOptions& options);
    void renderEmbeddedMessage(TextView& view, const RenderOptions& options);
    bool renderLocalFile(TextView& view);

    std::optional<std::string> myMimeEncoding;
    std::optional<std::string> myMimeType;
    std::optional<std::string> myMimeSubtype;
    MimeParameters myMimeParameters;
    std::optional<std::string> myMimeDisposition;
    MimeParameters myMimeDispositionParameters;

    int myNesting = 0;
    bool myBodyDecoded = false;
    std::unique_ptr<MimeRichText> myTextBody;
    std::unique_ptr<MimeRichText> myUnicodeBody;
    std::unique_ptr<PartList> myParts;
    std::optional<std::string> myImageFile;
    std::unique_ptr<Sound> mySound;

    std::optional<std::string> myBodyFile;
    bool myBodyFileOwner = false;
    std::vector<std::shared_ptr<AttachmentBody>> myIconBodies;  // detached when this goes
    std::vector<std::unique_ptr<MailMessage>> myEmbedded;  // shown inline, kept for their files
};

// Makes MimeMessage one of the classes newFromStream chooses from.
void registerMimeMessageClass();

}  // namespace quill

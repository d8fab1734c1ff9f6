// ZellMessage: the native mail format. A rich body is a document directory
// (the RTF text as "index.rtf" beside the attached files). On the wire it
// travels as a tar archive of that directory, compressed and uuencoded under
// a "Zell-Attachment" header; inside a mailbox the message keeps only its
// headers and a "Zell-Reference" naming the directory, which lies beside
// "mbox". A plain body is read and written as the base class does.
//
// Archives from mail are unpacked into a fresh temporary directory with the
// tar command (by default Quill's own safetar, which refuses members that
// would land outside it).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "message/MailMessage.h"
#include "richtext/RichText.h"
#include "richtext/TextView.h"

namespace quill {

class ZellMessage : public MailMessage {
  public:
    ZellMessage() = default;
    ~ZellMessage() override;

    static const MailClass& mailClass();
    const MailClass& formatClass() const override { return mailClass(); }
    static double willingnessToDecode(const MailHeaders& headers);

    // The pipeline's programs; nothing restores the default.
    static const std::string& tarCommand();
    static void setTarCommand(std::optional<std::string> command);
    static const std::string& compressCommand();
    static void setCompressCommand(std::optional<std::string> command);

    // The composed document: its plain text becomes the body, and a document
    // with formatting or files makes the body rich.
    void setRichText(const RichText& text, bool rich);
    bool ownsAttachmentDirectory() const { return myTmpAttachDir; }
    // A composed rich document, or a document directory read or stored.
    bool isRichBody() const override { return myRich || MailMessage::isRichBody(); }
    // Deletes a temporary document directory.
    void resetAttachmentDirectory();

    // ---- reading ----
    bool readBodyFromStreamMailbox(ByteSource& stream, std::string_view mailbox) override;
    bool readBodyFromStream(ByteSource& stream) override;
    // uudecode, uncompress and untar into a new temporary directory.
    bool readRichBodyFromStream(ByteSource& stream);
    // A line ending in a blank is joined to the next (the blank and newline dropped).
    bool readPlainBodyFromStream(ByteSource& stream);

    // ---- writing ----
    bool writeHeadersToStream(ByteSink& sink) override { return writeHeadersToStream(sink, {}); }
    // With a mailbox, "Zell-Reference"; without, "Zell-Attachment".
    bool writeHeadersToStream(ByteSink& sink, std::optional<std::string_view> mailbox);
    bool writeBodyToStream(ByteSink& sink) override;
    // Headers only; the document directory goes beside the mailbox's "mbox".
    bool writeToStreamMailbox(ByteSink& sink, std::string_view mailbox) override;
    // The archive's name (the "Zell-Attachment" value up to its first comma),
    // making and saving the document directory first when there is none.
    std::optional<std::string> prepareAttachmentForUuencoding();

    // ---- showing ----
    // The plain body, then the document directory of a rich body read as
    // one document with its files as icons; the directory is not changed.
    void replaceSelWithBodyInView(TextView& view);

    // ---- document directories ----
    static bool enztar(const std::string& directory, ByteSink& out);
    static bool deztar(ByteSource& in, const std::string& directory);
    // Outgoing: "TXT.rtf" rewritten to "index.rtf"; incoming the reverse.
    static bool convertIndexFor(const std::string& directory, bool outgoing);
    // Rewrites each match of pattern (a basic regular expression with one
    // group) by the replacement, "%s" standing for the group's text.
    static bool convertStream(std::string_view in, std::string& out, const char* pattern,
                              const char* replacement, bool truncateBeforeBackslash,
                              bool removeExtraLeftBrace);
    static constexpr const char* kOutgoingPattern =
        "{[ \t\n]*\\\\ZellGraphic\\([^}]*\\)}[ \t\n]\xAC";
    static constexpr const char* kOutgoingReplacement = "{\\attachment%s\n";
    static constexpr const char* kIncomingPattern = "{\\\\attachment\\([^\n}]*\\)[ \t\n]*}";
    static constexpr const char* kIncomingReplacement =
        "{{\\ZellGraphic%s \\width0 \\height0\n}\xAC}";
    // Saves text as a document directory at path without the icon images of
    // its files. True on failure, as the view operation answers.
    static bool saveAttachTo(const RichText& text, const std::string& path);

  private:
    bool saveDocumentInto(const std::optional<std::string>& directory);
    bool moveDocumentInto(std::string_view mailbox);
    std::string directoryName() const;

    bool myTmpAttachDir = false;
    bool myRich = false;
    std::optional<RichText> myRichText;
};

// Makes ZellMessage one of the classes newFromStream chooses from.
void registerZellMessageClass();

}  // namespace quill

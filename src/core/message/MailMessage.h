// MailMessage: one message in memory, a header block and a body, and the base
// of the format classes (MIME, native attachments, Sun attachments). The base
// class handles plain mail: headers plus raw body bytes. It also chooses the
// format class for a stored message (the most willing registered class reads
// the body), writes messages back with "From " escaping or line wrapping,
// prepares attachment directories and appends the user's signature.
#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteSink.h"
#include "base/ByteSource.h"
#include "base/FileHandles.h"
#include "base/Status.h"
#include "message/BodyBytes.h"
#include "message/MailClass.h"
#include "message/MailHeaders.h"

namespace quill {

class MailMessage : public MailHeaders::LineWriter {
  public:
    using RunSink = MailHeaders::RunSink;

    MailMessage() = default;
    ~MailMessage() override = default;
    MailMessage(const MailMessage&) = delete;
    MailMessage& operator=(const MailMessage&) = delete;

    // ---- format classes ----
    static const MailClass& mailClass();
    virtual const MailClass& formatClass() const { return mailClass(); }
    static double willingnessToDecode(const MailHeaders& headers);
    // Registration keeps order and ignores a class already registered.
    static void registerMailClass(const MailClass& cls);
    static void unregisterMailClass(const MailClass& cls);
    static const std::vector<const MailClass*>& mailClasses();

    // A message of the most willing class, or nothing. Ties go to the earlier
    // class, the receiver first. An empty mailbox path means none.
    static std::unique_ptr<MailMessage> newFromStream(ByteSource& stream,
                                                      std::string_view mailbox = {},
                                                      const MailClass& receiver = mailClass());
    // A base-class message read from the stream, or nothing.
    static std::unique_ptr<MailMessage> initFromStream(ByteSource& stream,
                                                       std::string_view mailbox = {});
    // A message read from the file, or nothing with `status` saying why.
    static std::unique_ptr<MailMessage> initFromFile(const std::string& path, Status& status);
    // Maps the file read-only and reads it as a message; bytes that are no
    // message answer a read failure without an errno.
    Status loadFromFile(const std::string& path);

    // ---- class-wide settings ----
    static bool escapeFromLines();
    static void setEscapeFromLines(bool flag);
    static int lineLength();
    static void setLineLength(int length);
    static const std::optional<std::string>& defaultAttachmentDirectory();
    static void setDefaultAttachmentDirectory(std::optional<std::string> path);

    // ---- headers ----
    // The header block, created empty on first use.
    MailHeaders& headers();
    virtual void setHeaders(std::unique_ptr<MailHeaders> block);
    const std::string* headerValueForKey(std::string_view key);
    void setHeaderKey(std::string_view key, std::optional<std::string_view> value);

    // ---- flags ----
    bool readReceipt() const { return myReadReceipt; }
    void setReadReceipt(bool flag) { myReadReceipt = flag; }
    // Whether the body is more than plain text: it has an attachment directory.
    virtual bool isRichBody() const { return myAttachmentPath.has_value(); }
    // The native format marks messages whose document only the encryption module can read.
    bool isEncrypted() const { return myIsEncrypted; }
    void setEncrypted(bool flag) { myIsEncrypted = flag; }

    // ---- body ----
    // A body still in its transfer encoding is decoded (and kept) on first
    // request; writeBodyPieces streams it without keeping it.
    size_t bodyLength() const { return bodyView().size(); }
    ByteSource stream() const { return ByteSource(myBody.shared()); }
    std::string stringBody() const { return std::string(bodyView()); }
    std::string_view bodyView() const { return myBody.view(); }
    const SharedBytes& sharedBody() const { return myBody.shared(); }
    bool writeBodyPieces(const BodyBytes::PieceSink& sink) const {
        return myBody.forEachPiece(sink);
    }
    void setBody(SharedBytes data) { myBody = BodyBytes(std::move(data)); }
    void setBody(std::string_view bytes) { setBody(SharedBytes::copyOf(bytes)); }
    void setBodyNoCopy(std::string&& bytes) { setBody(SharedBytes(std::move(bytes))); }
    void setEncodedBody(SharedBytes encoded, TransferCoding coding) {
        myBody = BodyBytes(std::move(encoded), coding);
    }
    void resetBody() { myBody = BodyBytes(); }

    // ---- reading ----
    bool readHeadersFromStream(ByteSource& stream);
    // Takes the rest of the stream as the body; always succeeds.
    virtual bool readBodyFromStream(ByteSource& stream);
    // The same for a message inside a mailbox directory (formats look there
    // for attachment files).
    virtual bool readBodyFromStreamMailbox(ByteSource& stream, std::string_view mailbox);
    bool readFromStream(ByteSource& stream);
    bool readFromStreamMailbox(ByteSource& stream, std::string_view mailbox);

    // ---- writing ----
    virtual bool writeHeadersToStream(ByteSink& sink);
    // The body as it is, or with "From " lines escaped while escaping is on.
    virtual bool writeBodyToStream(ByteSink& sink);
    // The body wrapped for outgoing text at column-2 (column 0: no wrapping).
    bool writeBodyToStreamWrapAtColumn(ByteSink& sink, int column);
    // Headers, the empty line, the body.
    virtual bool writeToStream(ByteSink& sink);
    bool writeToStreamWrapAtColumn(ByteSink& sink, int column);
    // The bytes a mailbox append stores: envelope line, escaped body and the
    // empty line that separates messages.
    virtual bool writeToStreamMailbox(ByteSink& sink, std::string_view mailbox);
    // Header lines with 8-bit values transliterated to ASCII.
    bool writeHeaderKey(std::string_view key, std::string_view value, ByteSink& sink) override;

    // Marks the message as sent by this mailer: "Received: by Zell.Mailer (...)".
    void addReceivedByZellIfNeeded();

    // ---- attachments and signature ----
    const std::optional<std::string>& attachmentPath() const { return myAttachmentPath; }
    std::string attachmentName() const;
    void setAttachmentPath(std::optional<std::string> path) { myAttachmentPath = std::move(path); }
    // "<directory>/<name from the subject><type>".
    std::string makeFilename(const std::optional<std::string>& directory, std::string_view type);
    bool makeUniqueAttachmentInDirectory(const std::optional<std::string>& directory);
    // Appends a newline and ~/.signature to the body when that file exists.
    virtual bool addSignature();

    // ---- rendering ----
    void replaceSelWithHeadersInText(const RunSink& out);
    // The header block and the empty line after it, from `stored` (the
    // message's own text) under the Unicode display: the message's values were
    // decoded into ISO 8859-1, which loses other charsets.
    void replaceSelWithHeaderBlock(const RunSink& out, std::string_view stored, bool unicode);
    virtual void replaceSelWithBodyInText(const RunSink& out);
    void replaceSelInText(const RunSink& out);

  protected:
    std::unique_ptr<MailHeaders> myHeaders;
    BodyBytes myBody;
    bool myReadReceipt = false;
    std::optional<std::string> myAttachmentPath;
    bool myIsEncrypted = false;
};

// The platform build text: operating system, release, processor, build date.
const std::string& platformBuildText();
// The version text the mailer puts in its trace header.
inline constexpr const char* kMailerVersionText = "Version 1.1";

// Makes path name no existing file by putting "-<pid>-<counter>" before its
// suffix (from the last dot of the last component, unless that dot leads it).
void mkuniquefile(std::string& path);
// Creates a new file at path exclusively and never through a link, moving
// path on to the next unique name while something is in the way (a file
// planted in a shared directory included). Invalid with errno on failure.
UniqueFd createUniqueFile(std::string& path, mode_t mode);
// The same for a directory; false with errno on failure.
bool createUniqueDirectory(std::string& path, mode_t mode);
// Creates each missing ancestor of path with mode, then path itself; -1 when
// an ancestor fails, else the result of creating the last component.
int mkdirs(const std::string& path, mode_t mode);

}  // namespace quill

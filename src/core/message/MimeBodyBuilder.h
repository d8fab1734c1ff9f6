// MimeBodyBuilder: what the user composed as MIME body objects. A plain text
// becomes text/plain; a rich text goes through the enriched writer, cutting
// the enriched text into parts around its attached files, and (with the
// auto-alternative switch) behind a plain alternative. An attached file is a
// part typed by its name, a link to a file elsewhere a message/external-body
// "local-file" part, and a directory a multipart/x-folder of its entries.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "message/MimeMessage.h"

namespace quill {

class TextView;

class MimeBodyBuilder {
  public:
    static void setBodyFromText(MimeMessage& message, const TextView& view);
    static void setBodyFromRichText(MimeMessage& message, const TextView& view);
    // The attached file at path, shown under name; nothing (with a warning)
    // when it cannot be encapsulated.
    static std::unique_ptr<MimeMessage> partForFile(const std::string& path,
                                                    const std::string& name);
    // A directory as multipart/x-folder; false when it cannot be read.
    static bool setBodyFromDirectory(MimeMessage& message, const std::string& path);
    // A rich-text document directory as multipart/x-rtfd: its entries as
    // parts, read back as one document.
    static bool setBodyFromDocumentDirectory(MimeMessage& message, const std::string& path);

  private:
    // The text of view without its cells: a link button gives nothing (its
    // URL is in the text beside it), an attached file the missing text, if any.
    static std::string plainText(const TextView& view, const std::optional<std::string>& missing);
    static std::unique_ptr<MimeMessage> plainAlternative(const TextView& view);
    static std::unique_ptr<MimeMessage> linkPart(const std::string& target);
    static void takeSinglePart(MimeMessage& message, MimeMessage& part);
};

}  // namespace quill

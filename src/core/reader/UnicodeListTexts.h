// UnicodeListTexts: the sender and subject a message-list row shows under the
// Unicode display. The list records keep the ISO 8859-1 texts Quill has
// always written (base64 words left as text, other charsets' bytes as they
// came), so this reads the header block of the row's own message, only when
// the row is first drawn, and decodes it. Opening a mailbox window therefore
// reads only the messages of the rows on screen; the records stay as they are.
#pragma once

#include <string>

namespace quill {

class MailBox;

class UnicodeListTexts {
  public:
    explicit UnicodeListTexts(MailBox& mailbox) : m_mailbox(mailbox) {}

    // Replaces the record's texts (from the mailbox's loadSubject) by the
    // decoded header values; texts the headers cannot give are the record's,
    // read as ISO 8859-1.
    void load(int msgId, std::string& subject, std::string& from) const;

  private:
    std::string headerBlock(int msgId) const;

    MailBox& m_mailbox;
};

}  // namespace quill

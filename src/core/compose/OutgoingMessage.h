// OutgoingMessage: the message a compose window sends or saves, built from
// its fields and text in the class its format names. The user headers come
// first and the date last, so the header block (written newest first) reads
// From, Date, To, Subject, Cc, Reply-To, References below the trace header.
#pragma once

#include <ctime>
#include <memory>
#include <string>

namespace quill {

class MailMessage;
class Send;

class OutgoingMessage {
  public:
    explicit OutgoingMessage(Send& send) : m_send(send) {}
    // The message without the helpers' say; nothing only when the format has no class.
    std::unique_ptr<MailMessage> build();

    // "Sun, 6 Dec 2026 15:39:05 +0100": the "Date" of a message sent at `when`.
    static std::string dateTime(std::time_t when);
    // The bytes of an attached file, or of a document directory's files
    // without its text and the icons of other entries.
    static long long quickSize(const std::string& path);

  private:
    void setFieldHeaders(MailMessage& message);
    void setSenderIdentity(MailMessage& message);
    void setBody(MailMessage& message);

    Send& m_send;
};

}  // namespace quill

// Delivery: one run of a compose window's Deliver after its fields passed the
// checks: build and write the message, put it in a private temporary file,
// ask about its size and about an interrupt, archive a copy, start the mailer.
// Every stop says why and leaves the window as it was; the temporary file goes
// unless the mailer has it.
#pragma once

#include <memory>
#include <string>

#include "message/StringList.h"

namespace quill {

class MailMessage;
class Send;

class Delivery {
  public:
    Delivery(Send& send, StringList recipients);
    ~Delivery();
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;

    // True when the mailer was started.
    bool run();

    // Where outgoing messages wait for the mailer: "/tmp/Quill-XXXXXX".
    static constexpr const char* kTempPattern = "/tmp/Quill-XXXXXX";

  private:
    bool build();
    bool writeTempFile();
    bool sizeAccepted();
    bool notInterrupted();
    bool archived();
    bool handOff();
    // Asks to go on regardless; true when the user chose "Deliver Anyway".
    bool deliverAnyway(const std::string& message);
    bool fail(const char* message);
    int writeBytes(int fd);

    Send& m_send;
    StringList m_recipients;
    std::unique_ptr<MailMessage> m_message;
    std::string m_bytes;
    std::string m_path;
    bool m_handedOff = false;
};

}  // namespace quill

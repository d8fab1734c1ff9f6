// ReadReceipt: the note a reader sends back when a message asked for one. It
// is written to "/tmp/mailtmp.<login>.<n>" and handed to the mailer with no
// window to report to; its own trace header never asks for a receipt.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace quill {

class Defaults;
class Panels;
class ProcessLauncher;

class ReadReceipt {
  public:
    // The receipt for a message of `date` (local time) from `sender`; false
    // after the file error when its file cannot be written, or when no mailer started.
    static bool send(const std::optional<std::string>& subject, const std::tm& date,
                     const std::string& sender, ProcessLauncher& launcher, Defaults& defaults,
                     Panels& panels);
    // A shown message asked for a receipt: "ReadReceiptOption" decides
    // (always, never, or ask the user), then the receipt goes to `address`.
    // True when one was sent.
    static bool answerRequest(const std::optional<std::string>& subject, const std::tm& date,
                              const std::string& address, ProcessLauncher& launcher,
                              Defaults& defaults, Panels& panels);
    // The receipt's text as it goes to the mailer.
    static std::string text(const std::optional<std::string>& subject, const std::tm& date,
                            const std::string& sender, const std::tm& readAt);

  private:
    static std::string nextPath();
};

}  // namespace quill

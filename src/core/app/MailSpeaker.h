// The calling side of the mail service: turns a method name and words from a
// command line into a call, and hands it to whatever carries it to Quill.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/RemoteMethod.h"

namespace quill {

class MailTransport {
  public:
    virtual ~MailTransport() = default;
    // The answer of the running Quill; nothing when none answers.
    virtual std::optional<int> send(const RemoteMethod& method, RemoteArguments& params) = 0;
};

class MailSpeaker {
  public:
    enum class Outcome { Answered, UnknownMethod, BadArguments, NoQuill };

    explicit MailSpeaker(MailTransport& transport) : m_transport(transport) {}
    // One word per parameter passed in: any text for "c", a decimal integer for "i".
    static bool argumentsFrom(const RemoteMethod& method, const std::vector<std::string>& words,
                              RemoteArguments& params);
    // Calls the named method; on Answered, answer holds the integer answer and
    // params.number what the call passed back.
    Outcome call(std::string_view name, const std::vector<std::string>& words, int& answer,
                 RemoteArguments& params);

  private:
    MailTransport& m_transport;
};

}  // namespace quill

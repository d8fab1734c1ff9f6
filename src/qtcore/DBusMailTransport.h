// Carries the calls of quilltool's "service" command to the running Quill
// over the session bus. Texts are taken in the locale's encoding.
#pragma once

#include "app/MailSpeaker.h"

namespace quill {

class DBusMailTransport : public MailTransport {
  public:
    std::optional<int> send(const RemoteMethod& method, RemoteArguments& params) override;
};

}  // namespace quill

// The receiving side of the mail service: the method table, whatever carries
// the calls, and the dispatch of each call to the delegate.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/RemoteMethod.h"

namespace quill {

class SendDemo;

class MailListener {
  public:
    // The twelve compose calls in their table order, then incorporateNewMail.
    static std::span<const RemoteMethod> methods();
    // The table index of a method name, -1 when there is none.
    static int remoteMethodFor(std::string_view name);
    // The name a message bus carries a method under: colons become "_"
    // ("setTo:inWindow:" is "setTo_inWindow_").
    static std::string busMemberName(std::string_view name);

    explicit MailListener(SendDemo* delegate = nullptr) : m_delegate(delegate) {}
    void setDelegate(SendDemo* delegate) { m_delegate = delegate; }
    // The answer of the call at that table index; -1 without a delegate or
    // for an index outside the table.
    int performRemoteMethod(int index, RemoteArguments& params);

  private:
    SendDemo* m_delegate;
};

}  // namespace quill

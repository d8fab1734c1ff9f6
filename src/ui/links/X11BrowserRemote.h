// X11BrowserRemote: hands a URL to a running web browser through properties
// of its X window. The browser's window carries "_MOZILLA_VERSION"; we lock
// it with "_MOZILLA_LOCK" (our pid and host), put "openURL(<url>)" in
// "_MOZILLA_COMMAND" and read the browser's answer from "_MOZILLA_RESPONSE":
// 1xx is progress, 2xx success, anything else failure.
#pragma once

#include <string>
#include <utility>

#include "links/BrowserRemote.h"

namespace quill {

class X11BrowserRemote : public BrowserRemote {
  public:
    // display: an X display name; empty means $DISPLAY. Every wait gives up
    // after timeoutMs, so a browser that never answers cannot hang the reader.
    explicit X11BrowserRemote(std::string display = {}, int timeoutMs = 10000)
        : m_displayName(std::move(display)), m_timeoutMs(timeoutMs) {}

    bool openURL(const std::string& url) override;

    // The command's outcome: 2 for success, 3, 4 or 5 for the browser's
    // refusal, 6 for no answer or a vanished window, 0 when no browser was found.
    int sendCommand(const std::string& command);

  private:
    std::string m_displayName;
    int m_timeoutMs;
};

}  // namespace quill

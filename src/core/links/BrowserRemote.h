// BrowserRemote: asks a web browser that is already running to open a URL,
// through whatever remote control the window system offers.
#pragma once

#include <string>

namespace quill {

class BrowserRemote {
  public:
    virtual ~BrowserRemote() = default;
    // True when a running browser took the URL.
    virtual bool openURL(const std::string& url) = 0;
};

}  // namespace quill

// URLMailCell: the link button that stands in a shown text just before a URL.
// In the text it is a cell with the directive "TesselURL" whose content is the
// URL; it adds no text of its own. Clicking it opens the URL: a running browser
// is asked first, otherwise the browser command ("WebBrowserPath") is started
// in the background with the URL as one shell word.
#pragma once

#include <optional>
#include <string>

#include "links/BrowserRemote.h"
#include "process/ProcessLauncher.h"
#include "richtext/RichText.h"

namespace quill {

class URLMailCell {
  public:
    static constexpr const char* kDirective = "TesselURL";

    // A document holding just the button for url, in the given formats.
    static RichText cellDocument(const std::string& url, const CharFormat& chr,
                                 const ParagraphFormat& para);
    // The URL a cell holds, when it is a link button.
    static std::optional<std::string> urlOf(const Attachment& cell);

    // Opens url: through remote (may be null) when it takes it, otherwise with
    // the browser command. False for an empty URL or a command that could not start.
    static bool loadURL(const std::string& url, BrowserRemote* remote, ProcessLauncher& launcher);
    // The shell command line that hands url to browser.
    static std::string browserCommand(const std::string& browser, const std::string& url);
};

}  // namespace quill

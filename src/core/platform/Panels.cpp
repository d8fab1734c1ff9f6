#include "platform/Panels.h"

#include <cstdarg>
#include <mutex>
#include <utility>

#include "base/Diagnostics.h"
#include "platform/ConsolePanels.h"
#include "platform/Localized.h"

namespace quill {
namespace {

std::shared_ptr<Panels>& installed() {
    static std::shared_ptr<Panels> p = std::make_shared<ConsolePanels>(false);
    return p;
}

}  // namespace

Panels& panels() { return *installed(); }

void installPanels(std::shared_ptr<Panels> p) {
    installed() = p ? std::move(p) : std::make_shared<ConsolePanels>(false);
}

namespace {

int runAlertWith(Panels& panels, const char* title, const char* format, const char* defaultButton,
                 const char* alternateButton, const char* otherButton, va_list args) {
    AlertRequest request;
    request.title = title ? localized(kAlertsTable, title) : std::string();
    std::string translated = localized(kAlertsTable, format ? format : "");
    request.message = vformatString(translated.c_str(), args);
    for (const char* b : {defaultButton, alternateButton, otherButton}) {
        if (b) request.buttons.push_back(localized(kButtonsTable, b));
    }
    return panels.runAlert(request);
}

}  // namespace

int runAlert(const char* title, const char* format, const char* defaultButton,
             const char* alternateButton, const char* otherButton, ...) {
    va_list args;
    va_start(args, otherButton);
    int answer =
        runAlertWith(panels(), title, format, defaultButton, alternateButton, otherButton, args);
    va_end(args);
    return answer;
}

int runAlert(Panels& panels, const char* title, const char* format, const char* defaultButton,
             const char* alternateButton, const char* otherButton, ...) {
    va_list args;
    va_start(args, otherButton);
    int answer =
        runAlertWith(panels, title, format, defaultButton, alternateButton, otherButton, args);
    va_end(args);
    return answer;
}

}  // namespace quill

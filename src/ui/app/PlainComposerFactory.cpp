#include "ui/app/PlainComposerFactory.h"

#include "app/SendDemo.h"

namespace quill {

std::shared_ptr<RemoteComposer> PlainComposerFactory::newSendWindow() {
    // Qt may still be delivering the window's events when the last owner lets go.
    std::shared_ptr<PlainComposeWindow> window(
        new PlainComposeWindow([this](PlainComposeWindow* w) { windowClosed(w); }),
        [](PlainComposeWindow* w) { w->deleteLater(); });
    window->orderFront();
    m_open.push_back(window);
    return window;
}

void PlainComposerFactory::windowClosed(PlainComposeWindow* window) {
    m_service.composerWillClose(window);
    std::erase_if(m_open, [window](const auto& w) { return w.get() == window; });
}

}  // namespace quill

#include "ui/app/PlainComposerFactory.h"

#include "app/MailDriver.h"
#include "app/SendDemo.h"

namespace quill {

std::shared_ptr<RemoteComposer> PlainComposerFactory::newSendWindow() {
    SendServices services = m_services();
    // A delivered window is no longer the composer the handle-less calls fill.
    auto self = std::make_shared<const RemoteComposer*>(nullptr);
    services.forgetComposer = [service = &m_service, self] { service->forgetComposer(*self); };
    // Qt may still be delivering the window's events when the last owner lets go.
    std::shared_ptr<PlainComposeWindow> window(
        new PlainComposeWindow(std::move(services),
                               [this](PlainComposeWindow* w) { windowClosed(w); }),
        [](PlainComposeWindow* w) { w->deleteLater(); });
    *self = window.get();
    window->orderFront();
    m_open.push_back(window);
    m_driver.addComposeWindow(window);
    return window;
}

void PlainComposerFactory::windowClosed(PlainComposeWindow* window) {
    m_service.composerWillClose(window);
    m_driver.removeComposeWindow(window);
    std::erase_if(m_open, [window](const auto& w) { return w.get() == window; });
}

}  // namespace quill

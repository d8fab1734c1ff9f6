#include "ui/app/ServiceComposerFactory.h"

#include "app/SendDemo.h"
#include "ui/app/ServiceComposer.h"

namespace quill {

std::shared_ptr<RemoteComposer> ServiceComposerFactory::newSendWindow() {
    auto* window = new ComposeWindow(nullptr);
    auto composer = std::make_shared<ServiceComposer>(window);
    // A composer the service no longer holds has nothing to forget.
    std::weak_ptr<ServiceComposer> held = composer;
    QObject::connect(window, &QObject::destroyed, [service = &m_service, held] {
        if (auto gone = held.lock()) service->composerWillClose(gone.get());
    });
    composer->orderFront();
    return composer;
}

}  // namespace quill

// Opens the compose windows of the mail service and keeps each alive until it
// closes, then tells the service it is gone.
#pragma once

#include <memory>
#include <vector>

#include "app/ComposerFactory.h"
#include "ui/app/PlainComposeWindow.h"

namespace quill {

class SendDemo;

class PlainComposerFactory : public ComposerFactory {
  public:
    explicit PlainComposerFactory(SendDemo& service) : m_service(service) {}
    std::shared_ptr<RemoteComposer> newSendWindow() override;
    const std::vector<std::shared_ptr<PlainComposeWindow>>& openWindows() const { return m_open; }

  private:
    void windowClosed(PlainComposeWindow* window);

    SendDemo& m_service;
    std::vector<std::shared_ptr<PlainComposeWindow>> m_open;
};

}  // namespace quill

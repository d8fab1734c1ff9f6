// Opens the compose windows of the mail service; when one goes, the service
// forgets it, so the handles of later windows move down.
#pragma once

#include "app/ComposerFactory.h"

namespace quill {

class SendDemo;

class ServiceComposerFactory : public ComposerFactory {
  public:
    explicit ServiceComposerFactory(SendDemo& service) : m_service(service) {}
    std::shared_ptr<RemoteComposer> newSendWindow() override;

  private:
    SendDemo& m_service;
};

}  // namespace quill

// Opens the compose windows of the mail service, each over a Send made with
// the application's services, and keeps each alive until it closes; then the
// service and the quit sequence forget it.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "app/ComposerFactory.h"
#include "ui/app/PlainComposeWindow.h"

namespace quill {

class MailDriver;
class SendDemo;

class PlainComposerFactory : public ComposerFactory {
  public:
    PlainComposerFactory(SendDemo& service, MailDriver& driver,
                         std::function<SendServices()> services)
        : m_service(service), m_driver(driver), m_services(std::move(services)) {}
    std::shared_ptr<RemoteComposer> newSendWindow() override;
    const std::vector<std::shared_ptr<PlainComposeWindow>>& openWindows() const { return m_open; }

  private:
    void windowClosed(PlainComposeWindow* window);

    SendDemo& m_service;
    MailDriver& m_driver;
    std::function<SendServices()> m_services;
    std::vector<std::shared_ptr<PlainComposeWindow>> m_open;
};

}  // namespace quill

// A compose window as the mail service, mailto links and "--compose" fill
// it: the composer interface over a ComposeWindow, which may close (and go)
// at any time.
#pragma once

#include <QPointer>

#include "app/RemoteComposer.h"
#include "ui/compose/ComposeWindow.h"

namespace quill {

class ServiceComposer : public RemoteComposer {
  public:
    explicit ServiceComposer(ComposeWindow* window) : m_window(window) {}

    void setField(int field, const std::string& value) override;
    void setBody(const std::string& text) override;
    // The file goes in as an attachment at the end of the text.
    void addAttachment(const std::string& path) override;
    // Delivery starts once the caller has its answer, so an alert about the
    // message does not keep the calling program waiting.
    void performDeliver() override;
    void orderFront() override;

    ComposeWindow* window() const { return m_window; }

  private:
    QPointer<ComposeWindow> m_window;
};

}  // namespace quill

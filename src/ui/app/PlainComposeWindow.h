// The compose window other programs, mailto links and "--compose" open: To,
// Subject, Cc and Bcc, the files to attach and plain text over a Send, which
// checks, builds and delivers the message and saves drafts. It stands behind
// the composer interface until the full compose window takes its place.
#pragma once

#include <QWidget>
#include <functional>

#include "app/ComposeController.h"
#include "app/RemoteComposer.h"
#include "compose/Send.h"

class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace quill {

class PlainComposeWindow : public QWidget,
                           public RemoteComposer,
                           public SendView,
                           public ComposeController {
  public:
    // `onClose` runs when the window closes, by the user or after delivery.
    PlainComposeWindow(SendServices services, std::function<void(PlainComposeWindow*)> onClose);

    // RemoteComposer
    void setField(int field, const std::string& value) override;
    void setBody(const std::string& text) override;
    void addAttachment(const std::string& path) override;
    // Delivery starts once the caller has its answer, so an alert about the
    // message does not keep the calling program waiting.
    void performDeliver() override;
    void orderFront() override;

    // SendView
    void setTitle(const std::string& title) override;
    void commitFieldEdits() override;
    void hideWindow() override { hide(); }
    void performClose() override { close(); }

    // ComposeController
    bool hasEdits() const override { return m_send.editing(); }
    std::string subject() const override;
    void saveDraft() override { m_send.saveDraft(); }

    Send& send() { return m_send; }
    QStringList attachmentPaths() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    Send m_send;
    std::function<void(PlainComposeWindow*)> m_onClose;
    QLineEdit* m_fields[4];
    QListWidget* m_attachments;
    QPlainTextEdit* m_body;
};

}  // namespace quill

// The compose window other programs open until the full one with delivery is
// wired in: To, Subject, Cc and Bcc, the files to attach and the plain text.
// Deliver says that this window cannot send yet and keeps what was written.
#pragma once

#include <QWidget>
#include <functional>

#include "app/RemoteComposer.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace quill {

class PlainComposeWindow : public QWidget, public RemoteComposer {
  public:
    // `onClose` runs when the user (or the program) closes the window.
    explicit PlainComposeWindow(std::function<void(PlainComposeWindow*)> onClose);

    void setField(int field, const std::string& value) override;
    void setBody(const std::string& text) override;
    void addAttachment(const std::string& path) override;
    void performDeliver() override;
    void orderFront() override;

    QString fieldText(int field) const;
    QString bodyText() const;
    QStringList attachmentPaths() const;
    bool edited() const { return m_edited; }
    QString status() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void updateTitle();

    std::function<void(PlainComposeWindow*)> m_onClose;
    QLineEdit* m_fields[4];
    QListWidget* m_attachments;
    QPlainTextEdit* m_body;
    QLabel* m_status;
    bool m_edited = false;
};

}  // namespace quill

// ComposeWindow: a compose window. The header form (To, Subject, Cc) sits
// above the button row (Deliver, the reply button, Include, Add Attachment, the format
// button, the read-receipt switch, Options and the size display) and the
// text. The core Send holds the message and decides; ReplyEngine fills the
// window from the mailbox window it was opened from.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "addressbook/ComposeAddressTarget.h"
#include "compose/Send.h"
#include "reader/MailReader.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace quill {

class ComposeController;
class ComposeReplyTarget;
class ComposeTextEdit;
class ReplyEngine;

class ComposeWindow : public QWidget, public SendView, public ComposeAddressTarget {
    Q_OBJECT
  public:
    // A window opened from a mailbox window (none for a new message).
    explicit ComposeWindow(std::shared_ptr<MailReader> reader, QWidget* parent = nullptr);
    ~ComposeWindow() override;

    // Carries out a compose command of a mailbox window in a new window:
    // New Message, Reply, Reply All, Forward, Wrap And Reply, Restore Draft.
    // Answers the window, or nullptr when there was nothing to restore.
    static ComposeWindow* perform(std::shared_ptr<MailReader> reader, MailReader::Command command);
    // The open compose windows, most recently active first.
    static const std::vector<ComposeWindow*>& openWindows();

    Send& send() { return *m_send; }
    ComposeTextEdit* textEdit() const { return m_text; }
    // The header form's fields: To, Subject or Cc.
    QLineEdit* field(int field) const;
    QPushButton* deliverButton() const { return m_deliver; }
    QPushButton* replyButton() const { return m_reply; }
    QToolButton* formatButton() const { return m_format; }
    QToolButton* receiptButton() const { return m_receipt; }
    QLabel* sizeLabel() const { return m_size; }

    // Reply and forward operations on the window's mailbox window.
    void reply(bool toAll);
    void forward();
    void wrapAndReply();
    void restoreDraft(MailMessage& draft);
    // The shown message quoted at the selection.
    void includeMessage();
    void addAttachment();
    void cycleFormat();
    void deliver();

    // What reply and forward ask of the window.
    void showField(int field);
    void selectField(int field);
    void offerReplyAll(bool replyAll);

    // SendView
    void setTitle(const std::string& title) override;
    void setSizeText(const std::string& text) override;
    void setSpecialDelivery(bool rich) override;
    void setDocumentEdited(bool edited) override;
    void commitFieldEdits() override;
    void formatChanged(int index) override;
    void hideWindow() override;
    void orderFront() override;
    void performClose() override;

    // ComposeAddressTarget
    void appendTo(const std::string& name) override;
    void appendCc(const std::string& name) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildForm();
    void buildButtons();
    void addStyleKeys();
    void withEngine(const std::function<void(ReplyEngine&)>& action);
    void loadNames(const std::string& names, int field);
    bool completeAddress(QLineEdit* edit);
    void textEdited();
    void updateFormatButton();
    void fitLineLength();
    static QString formatName(int index);

    std::shared_ptr<MailReader> m_reader;
    std::unique_ptr<Send> m_send;
    std::unique_ptr<ComposeReplyTarget> m_target;
    std::shared_ptr<ComposeController> m_controller;
    ComposeTextEdit* m_text = nullptr;
    QLineEdit* m_fields[3] = {};
    QPushButton* m_deliver = nullptr;
    QPushButton* m_reply = nullptr;
    QPushButton* m_include = nullptr;
    QPushButton* m_attach = nullptr;
    QToolButton* m_format = nullptr;
    QToolButton* m_receipt = nullptr;
    QPushButton* m_options = nullptr;
    QLabel* m_size = nullptr;
    bool m_replyAllOffered = false;
    bool m_closeDecided = false;
};

}  // namespace quill

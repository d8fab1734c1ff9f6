// MailboxOpeningWindow: the window of a mailbox whose index is being rebuilt.
// It opens at once where the mailbox window will stand, shows how far the
// scan got with a Cancel button, and can be moved, resized or closed while
// the scan runs (closing cancels). When the opening ends it says so with
// finished(); the application then puts the mailbox window in its place.
#pragma once

#include <QWidget>
#include <memory>

#include "reader/MailboxOpening.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace quill {

class MailboxOpeningWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MailboxOpeningWindow(std::shared_ptr<MailboxOpening> opening,
                                  QWidget* parent = nullptr);

    MailboxOpening& opening() { return *m_opening; }
    QProgressBar* progressBar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancel; }

  signals:
    void finished();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void placeWindow();
    void cancelClicked();

    std::shared_ptr<MailboxOpening> m_opening;
    QLabel* m_message = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace quill

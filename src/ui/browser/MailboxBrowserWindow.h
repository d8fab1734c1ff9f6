// MailboxBrowserWindow: the "Mailboxes" panel, a column browser over the
// mailbox tree with the name field and the buttons Transfer, Open, Delete,
// New Folder and New Mailbox. Every decision is the core MailboxBrowser's;
// the panel forwards clicks and typing and shows the result.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "browser/MailboxBrowser.h"

class QHBoxLayout;
class QLineEdit;
class QListView;
class QPushButton;

namespace quill {

class BrowserArrowDelegate;
class MailboxBrowserHost;
class MailboxColumnModel;

class MailboxBrowserWindow : public QWidget {
    Q_OBJECT
  public:
    MailboxBrowserWindow(std::string mailDirectory, MailboxBrowserHost& host,
                         QWidget* parent = nullptr);
    ~MailboxBrowserWindow() override;

    MailboxBrowser& browser() { return *m_browser; }
    // Rebuilds the tree when it changed, then comes forward with the name field selected.
    void showPanel();
    QListView* column(int index) const;
    QLineEdit* nameField() const { return m_name; }
    QPushButton* button(const QString& title) const;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    QWidget* buildControls();
    // Shows the browser's columns and selection, and the buttons' states.
    void refresh();
    void clicked(int column, int row);
    void perform(void (MailboxBrowser::*action)());

    std::unique_ptr<MailboxBrowser> m_browser;
    QHBoxLayout* m_columns = nullptr;
    std::vector<QListView*> m_views;
    std::vector<MailboxColumnModel*> m_models;
    QLineEdit* m_name = nullptr;
    std::vector<QPushButton*> m_buttons;
    BrowserArrowDelegate* m_arrows = nullptr;
};

}  // namespace quill

// MailboxColumnModel: one column of the mailbox browser as a Qt list model;
// its rows are the core MailboxBrowser's, folders leading further.
#pragma once

#include <QAbstractListModel>

namespace quill {

class MailboxBrowser;

class MailboxColumnModel : public QAbstractListModel {
    Q_OBJECT
  public:
    MailboxColumnModel(MailboxBrowser& browser, int column, QObject* parent = nullptr);

    // The browser's rows changed.
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    MailboxBrowser& m_browser;
    int m_column;
};

}  // namespace quill

#include "ui/browser/MailboxColumnModel.h"

#include "browser/MailboxBrowser.h"
#include "ui/addressbook/BrowserArrowDelegate.h"
#include "ui/platform/QtText.h"

namespace quill {

MailboxColumnModel::MailboxColumnModel(MailboxBrowser& browser, int column, QObject* parent)
    : QAbstractListModel(parent), m_browser(browser), m_column(column) {}

void MailboxColumnModel::reload() {
    beginResetModel();
    endResetModel();
}

int MailboxColumnModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_browser.rows(m_column).size());
}

QVariant MailboxColumnModel::data(const QModelIndex& index, int role) const {
    const MailboxLevel& rows = m_browser.rows(m_column);
    if (!index.isValid() || index.row() >= static_cast<int>(rows.size())) return {};
    const MailboxNode& node = rows[static_cast<std::size_t>(index.row())];
    if (role == BrowserArrowDelegate::kLeadsFurtherRole) return !node.mailbox;
    if (role == Qt::DisplayRole) return latin1Text(node.title());
    return {};
}

}  // namespace quill

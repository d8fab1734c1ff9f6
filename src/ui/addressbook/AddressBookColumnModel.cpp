#include "ui/addressbook/AddressBookColumnModel.h"

#include "base/utf8.h"
#include "ui/addressbook/BrowserArrowDelegate.h"

namespace quill {

AddressBookColumnModel::AddressBookColumnModel(int column, QObject* parent)
    : QAbstractListModel(parent), m_column(column) {}

void AddressBookColumnModel::setBrowser(AddressBookBrowser* browser) {
    m_browser = browser;
    reload();
}

void AddressBookColumnModel::reload() {
    beginResetModel();
    endResetModel();
}

bool AddressBookColumnModel::leadsFurther() const {
    return m_browser && m_browser->leadsFurther(m_column);
}

int AddressBookColumnModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_browser) return 0;
    return m_browser->rowCount(m_column);
}

QVariant AddressBookColumnModel::data(const QModelIndex& index, int role) const {
    if (!m_browser || !index.isValid()) return {};
    if (role == BrowserArrowDelegate::kLeadsFurtherRole) return leadsFurther();
    if (role != Qt::DisplayRole) return {};
    return display(m_browser->rowText(m_column, index.row()));
}

QString AddressBookColumnModel::display(const std::string& bytes) {
    return isValidUtf8(bytes) ? QString::fromStdString(bytes) : QString::fromLatin1(bytes);
}

}  // namespace quill

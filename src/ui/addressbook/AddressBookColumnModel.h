// AddressBookColumnModel: one column of the address-book window as a Qt list
// model; rows and texts come from the core's AddressBookBrowser. Names are
// shown as UTF-8 when they are valid UTF-8, else as ISO 8859-1.
#pragma once

#include <QAbstractListModel>

#include "addressbook/AddressBookBrowser.h"

namespace quill {

class AddressBookColumnModel : public QAbstractListModel {
    Q_OBJECT
  public:
    AddressBookColumnModel(int column, QObject* parent = nullptr);

    void setBrowser(AddressBookBrowser* browser);
    // The browser's rows changed.
    void reload();
    // Whether the rows lead to a further column (drawn with an arrow).
    bool leadsFurther() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    static QString display(const std::string& bytes);

  private:
    int m_column;
    AddressBookBrowser* m_browser = nullptr;
};

}  // namespace quill

// BrowserArrowDelegate: draws a row of a browser column (the address book's,
// the mailbox browser's) with an arrow at its right edge when the row's
// kLeadsFurtherRole data is true, as column browsers do.
#pragma once

#include <QStyledItemDelegate>

namespace quill {

class BrowserArrowDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    // A row's data under this role says whether it leads to a further column.
    static constexpr int kLeadsFurtherRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

}  // namespace quill

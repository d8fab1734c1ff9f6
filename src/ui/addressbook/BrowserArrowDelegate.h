// BrowserArrowDelegate: draws a row of an address-book column with an arrow at
// its right edge when the row leads to a further column, as column browsers do.
#pragma once

#include <QStyledItemDelegate>

namespace quill {

class BrowserArrowDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

}  // namespace quill

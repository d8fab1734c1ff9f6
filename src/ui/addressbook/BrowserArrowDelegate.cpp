#include "ui/addressbook/BrowserArrowDelegate.h"

#include <QApplication>
#include <QPainter>

namespace quill {

void BrowserArrowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    if (!index.data(kLeadsFurtherRole).toBool()) return;
    QStyleOption arrow;
    arrow.rect = QRect(option.rect.right() - option.rect.height(), option.rect.top(),
                       option.rect.height(), option.rect.height())
                     .adjusted(4, 4, -4, -4);
    arrow.palette = option.palette;
    arrow.state = option.state;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_IndicatorArrowRight, &arrow, painter, widget);
}

}  // namespace quill

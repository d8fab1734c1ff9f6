#include "ui/reader/MessageListView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace quill {

MessageListView::MessageListView(QWidget* parent)
    : QAbstractItemView(parent), m_header(new QHeaderView(Qt::Horizontal, this)) {
    m_header->setFirstSectionMovable(false);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        updateGeometries();
        viewport()->update();
    });
    connect(m_header, &QHeaderView::sectionMoved, viewport(), [this] { viewport()->update(); });
    connect(m_header, &QHeaderView::geometriesChanged, this, &MessageListView::updateGeometries);
}

void MessageListView::setModel(QAbstractItemModel* model) {
    QAbstractItemView::setModel(model);
    m_header->setModel(model);
    m_rowHeight = 0;
}

void MessageListView::reset() {
    m_rowHeight = 0;
    QAbstractItemView::reset();
}

void MessageListView::setColumnWidth(int column, int width) {
    m_header->resizeSection(column, width);
}

void MessageListView::setColumnHidden(int column, bool hide) {
    m_header->setSectionHidden(column, hide);
    viewport()->update();
}

bool MessageListView::isColumnHidden(int column) const { return m_header->isSectionHidden(column); }

int MessageListView::rowCount() const { return model() ? model()->rowCount(rootIndex()) : 0; }

int MessageListView::firstRow() const { return verticalScrollBar()->value(); }

// Every row is as tall as the first (its tallest column), as measured once
// per model reset or font change.
int MessageListView::rowHeight() const {
    if (m_rowHeight > 0) return m_rowHeight;
    int height = rowCount() > 0 ? 1 : fontMetrics().height() + 2;
    if (rowCount() > 0) {
        QStyleOptionViewItem option;
        const_cast<MessageListView*>(this)->initViewItemOption(&option);
        option.rect.setWidth(-1);  // no wrapping: the height of one line
        for (int column = 0; column < m_header->count(); ++column) {
            if (m_header->isSectionHidden(column)) continue;
            QModelIndex index = model()->index(0, column, rootIndex());
            height =
                std::max(height, itemDelegateForIndex(index)->sizeHint(option, index).height());
        }
    }
    m_rowHeight = height;
    return m_rowHeight;
}

int MessageListView::rowsPerPage() const { return std::max(1, viewport()->height() / rowHeight()); }

int MessageListView::rowAtY(int y) const {
    return firstRow() + static_cast<int>(std::floor(double(y) / rowHeight()));
}

QRect MessageListView::rowRect(int row) const {
    int height = rowHeight();
    return QRect(0, (row - firstRow()) * height, viewport()->width(), height);
}

QRect MessageListView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.parent() != rootIndex() || isIndexHidden(index)) return {};
    QRect row = rowRect(index.row());
    int column = index.column();
    return QRect(m_header->sectionViewportPosition(column), row.top(),
                 m_header->sectionSize(column), row.height());
}

void MessageListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid()) return;
    // Until the view is shown its height is not known, nor how far to go.
    if (!isVisible()) {
        m_pendingScroll = index;
        m_pendingHint = hint;
        return;
    }
    m_pendingScroll = QPersistentModelIndex();
    updateRowRange();  // the rows may have changed since the last layout
    int row = index.row(), first = firstRow(), page = rowsPerPage();
    switch (hint) {
        case PositionAtTop:
            first = row;
            break;
        case PositionAtBottom:
            first = row - page + 1;
            break;
        case PositionAtCenter:
            first = row - page / 2;
            break;
        case EnsureVisible:
            if (row < first) first = row;
            if (row >= first + page) first = row - page + 1;
            break;
    }
    verticalScrollBar()->setValue(first);
}

QModelIndex MessageListView::indexAt(const QPoint& point) const {
    int row = rowAtY(point.y());
    int column = m_header->logicalIndexAt(point.x());
    if (row < 0 || row >= rowCount() || column < 0) return {};
    return model()->index(row, column, rootIndex());
}

QModelIndex MessageListView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    int rows = rowCount();
    if (rows == 0) return {};
    QModelIndex current = currentIndex();
    if (!current.isValid()) return model()->index(0, 0, rootIndex());
    int row = current.row();
    switch (action) {
        case MoveUp:
        case MovePrevious:
            --row;
            break;
        case MoveDown:
        case MoveNext:
            ++row;
            break;
        case MovePageUp:
            row -= rowsPerPage();
            break;
        case MovePageDown:
            row += rowsPerPage();
            break;
        case MoveHome:
            row = 0;
            break;
        case MoveEnd:
            row = rows - 1;
            break;
        case MoveLeft:
            horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
            return current;
        case MoveRight:
            horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            return current;
    }
    return model()->index(std::clamp(row, 0, rows - 1), current.column(), rootIndex());
}

int MessageListView::horizontalOffset() const { return m_header->offset(); }

int MessageListView::verticalOffset() const { return firstRow() * rowHeight(); }

bool MessageListView::isIndexHidden(const QModelIndex& index) const {
    return m_header->isSectionHidden(index.column());
}

// Whole rows from the top of the rectangle to its bottom.
void MessageListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    int rows = rowCount(), columns = model() ? model()->columnCount(rootIndex()) : 0;
    if (rows == 0 || columns == 0) return;
    QRect r = rect.normalized();
    int top = std::clamp(rowAtY(r.top()), 0, rows - 1);
    int bottom = std::clamp(rowAtY(r.bottom()), 0, rows - 1);
    QItemSelection selection(model()->index(top, 0, rootIndex()),
                             model()->index(bottom, columns - 1, rootIndex()));
    selectionModel()->select(selection, command);
}

QRegion MessageListView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    QRect shown = viewport()->rect();
    for (const QItemSelectionRange& range : selection) {
        QRect rows = rowRect(range.top()).united(rowRect(range.bottom()));
        region += rows.intersected(shown);
    }
    return region;
}

// A list scrolled to its end, as a mailbox opens, stays there when it grows
// or its pane changes height.
void MessageListView::updateRowRange() {
    QScrollBar* rows = verticalScrollBar();
    bool atEnd = rows->maximum() > 0 && rows->value() == rows->maximum();
    int page = rowsPerPage();
    rows->setRange(0, std::max(0, rowCount() - page));
    rows->setPageStep(page);
    rows->setSingleStep(1);
    if (atEnd) rows->setValue(rows->maximum());
}

void MessageListView::updateGeometries() {
    int headerHeight = m_header->isHidden() ? 0 : m_header->sizeHint().height();
    setViewportMargins(0, headerHeight, 0, 0);
    QRect area = viewport()->geometry();
    m_header->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
    updateRowRange();
    horizontalScrollBar()->setRange(0, std::max(0, m_header->length() - area.width()));
    horizontalScrollBar()->setPageStep(area.width());
    horizontalScrollBar()->setSingleStep(20);
    if (m_pendingScroll.isValid() && isVisible()) scrollTo(m_pendingScroll, m_pendingHint);
    QAbstractItemView::updateGeometries();
}

void MessageListView::scrollContentsBy(int dx, int) {
    if (dx != 0) m_header->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void MessageListView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QRect exposed = event->rect();
    int last = std::min(rowCount() - 1, rowAtY(exposed.bottom()));
    for (int row = std::max(0, rowAtY(exposed.top())); row <= last; ++row) {
        paintRow(painter, option, row);
    }
}

// Each cell as the delegate draws it, the row's panel first, so a selected
// row reads as one band and the current cell carries the focus.
void MessageListView::paintRow(QPainter& painter, QStyleOptionViewItem option, int row) {
    QRect rowArea = rowRect(row);
    QModelIndex current = currentIndex();
    bool focused = hasFocus() || viewport()->hasFocus();
    const QStyle::State base = option.state;
    std::vector<int> columns;
    for (int visual = 0; visual < m_header->count(); ++visual) {
        int column = m_header->logicalIndex(visual);
        if (!m_header->isSectionHidden(column)) columns.push_back(column);
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        QModelIndex index = model()->index(row, columns[i], rootIndex());
        option.rect = QRect(m_header->sectionViewportPosition(columns[i]), rowArea.top(),
                            m_header->sectionSize(columns[i]), rowArea.height());
        option.state = base;
        if (selectionModel()->isSelected(index)) option.state |= QStyle::State_Selected;
        if (focused && index == current) option.state |= QStyle::State_HasFocus;
        option.palette.setCurrentColorGroup(isActiveWindow() ? QPalette::Active
                                                             : QPalette::Inactive);
        if (columns.size() == 1) {
            option.viewItemPosition = QStyleOptionViewItem::OnlyOne;
        } else if (i == 0) {
            option.viewItemPosition = QStyleOptionViewItem::Beginning;
        } else {
            option.viewItemPosition =
                i + 1 == columns.size() ? QStyleOptionViewItem::End : QStyleOptionViewItem::Middle;
        }
        style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

void MessageListView::keyPressEvent(QKeyEvent* event) {
    bool before = std::exchange(m_movingByKey, true);
    QAbstractItemView::keyPressEvent(event);
    m_movingByKey = before;
}

void MessageListView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        m_rowHeight = 0;
        updateGeometries();
    }
    QAbstractItemView::changeEvent(event);
}

}  // namespace quill

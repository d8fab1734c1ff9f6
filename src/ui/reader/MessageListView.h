// MessageListView: the message list of a mailbox window. It paints the rows
// in sight straight from the model and keeps nothing per row, since every row
// is as tall as the first: a list of a hundred thousand messages costs the
// view no more than one of ten. The column header sits above the rows and
// scrolls with them sideways; the rows scroll a whole row at a time.
#pragma once

#include <QAbstractItemView>

class QHeaderView;

namespace quill {

class MessageListView : public QAbstractItemView {
    Q_OBJECT
  public:
    explicit MessageListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    QHeaderView* header() const { return m_header; }
    void setColumnWidth(int column, int width);
    void setColumnHidden(int column, bool hide);
    bool isColumnHidden(int column) const;
    int rowHeight() const;
    // Whether the selection is being moved by a key press just now.
    bool movingByKey() const { return m_movingByKey; }

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    // Type-ahead would read every row's texts; the find panel searches instead.
    void keyboardSearch(const QString&) override {}
    void reset() override;

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    int rowCount() const;
    int firstRow() const;
    // Rows that fit wholly in the viewport, at least one.
    int rowsPerPage() const;
    // The row at a viewport height, counting rows above and below the viewport.
    int rowAtY(int y) const;
    QRect rowRect(int row) const;
    void updateRowRange();
    void paintRow(QPainter& painter, QStyleOptionViewItem option, int row);

    QHeaderView* m_header;
    // Where scrollTo was asked to go before the view was shown.
    QPersistentModelIndex m_pendingScroll;
    ScrollHint m_pendingHint = EnsureVisible;
    mutable int m_rowHeight = 0;
    bool m_movingByKey = false;
};

}  // namespace quill

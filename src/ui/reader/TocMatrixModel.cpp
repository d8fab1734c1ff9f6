#include "ui/reader/TocMatrixModel.h"

#include <QFont>

#include "message/date.h"
#include "ui/platform/QtText.h"

namespace quill {
namespace {

using K = TocMatrix::SortKey;
// The sort key of each column, in column order.
constexpr K kColumnKeys[] = {K::Number, K::Priority, K::Name, K::Date, K::Subject, K::Size};

// Status marks of a row: unread, flagged, deleted, attachment.
QString marks(const MailCell& cell) {
    QString m;
    m += cell.isRead() ? QChar(' ') : QChar(0x2022);
    m += cell.isFlagged() ? QChar(0x2691) : QChar(' ');
    m += cell.isDeleted() ? QChar(0x2717) : QChar(' ');
    m += cell.hasAttachment() ? QChar(0x2709) : QChar(' ');
    return m;
}

// The priority as its number; none shows nothing.
QString priorityText(std::uint32_t priority) {
    std::uint32_t value = priority & 0xff;
    return value ? QString::number(value) : QString();
}

}  // namespace

TocMatrixModel::TocMatrixModel(TocMatrix& matrix, QObject* parent)
    : QAbstractTableModel(parent), m_matrix(matrix) {}

int TocMatrixModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_matrix.rowCount();
}

int TocMatrixModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return m_matrix.showSizes() ? ColumnCount : ColumnCount - 1;
}

QVariant TocMatrixModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_matrix.rowCount()) return {};
    const MailCell& cell = m_matrix.cellAtRow(index.row());
    if (role == Qt::FontRole) {
        QFont f;
        f.setBold(!cell.isRead());
        f.setStrikeOut(cell.isDeleted());
        return f;
    }
    if (role == Qt::TextAlignmentRole && (index.column() == Size || index.column() == Priority)) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case Marks:
            return marks(cell);
        case Priority:
            return priorityText(m_matrix.detailsOf(cell).priority);
        case From:
            return shownText(m_matrix.loadedTextsAtRow(index.row()).from, m_matrix.utf8Texts());
        case Date:
            return latin1Text(m_matrix.loadedTextsAtRow(index.row()).date);
        case Subject:
            return shownText(m_matrix.loadedTextsAtRow(index.row()).subject, m_matrix.utf8Texts());
        case Size:
            return latin1Text(sizeString(m_matrix.detailsOf(cell).size));
        default:
            return {};
    }
}

QVariant TocMatrixModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* titles[] = {"", "Pri", "From", "Date", "Subject", "Size"};
    return section >= 0 && section < ColumnCount ? tr(titles[section]) : QVariant();
}

void TocMatrixModel::sort(int column, Qt::SortOrder) {
    if (column < 0 || column >= ColumnCount) return;
    m_matrix.sortByHeader(kColumnKeys[column]);
}

int TocMatrixModel::columnFor(TocMatrix::SortKey key) {
    for (int column = 0; column < ColumnCount; ++column) {
        if (kColumnKeys[column] == key) return column;
    }
    return Marks;
}

// A reset (or a change signal over every row) makes a tree view measure every
// row again, which takes long in a large mailbox; while the rows stay where
// they were, the view is only redrawn.
bool TocMatrixModel::reload() {
    int rows = m_matrix.rowCount(), columns = columnCount();
    if (m_matrix.layoutVersion() == m_layoutVersion && rows == m_rows && columns == m_columns) {
        return false;
    }
    beginResetModel();
    m_layoutVersion = m_matrix.layoutVersion();
    m_rows = rows;
    m_columns = columns;
    endResetModel();
    return true;
}

}  // namespace quill

#include "ui/reader/TocMatrixModel.h"

#include <QFont>

#include "message/date.h"

namespace quill {
namespace {

QString latin1(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

QString shownText(const TocMatrix& matrix, const std::string& s) {
    return matrix.utf8Texts() ? QString::fromUtf8(s.data(), qsizetype(s.size())) : latin1(s);
}

// Status marks of a row: unread, flagged, deleted, attachment.
QString marks(const MailCell& cell) {
    QString m;
    m += cell.isRead() ? QChar(' ') : QChar(0x2022);
    m += cell.isFlagged() ? QChar(0x2691) : QChar(' ');
    m += cell.isDeleted() ? QChar(0x2717) : QChar(' ');
    m += cell.hasAttachment() ? QChar(0x2709) : QChar(' ');
    return m;
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
    const MailCell& cell = m_matrix.loadedCellAtRow(index.row());
    if (role == Qt::FontRole) {
        QFont f;
        f.setBold(!cell.isRead());
        f.setStrikeOut(cell.isDeleted());
        return f;
    }
    if (role == Qt::TextAlignmentRole && index.column() == Size) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case Marks:
            return marks(cell);
        case From:
            return shownText(m_matrix, cell.from());
        case Date:
            return latin1(cell.date());
        case Subject:
            return shownText(m_matrix, cell.subject());
        case Size:
            return latin1(sizeString(cell.size()));
        default:
            return {};
    }
}

QVariant TocMatrixModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* titles[] = {"", "From", "Date", "Subject", "Size"};
    return section >= 0 && section < ColumnCount ? tr(titles[section]) : QVariant();
}

void TocMatrixModel::sort(int column, Qt::SortOrder) {
    using K = TocMatrix::SortKey;
    static const K keys[] = {K::Number, K::Name, K::Date, K::Subject, K::Size};
    if (column < 0 || column >= ColumnCount) return;
    m_matrix.sortBy(keys[column]);
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

// TocMatrixModel: the message list as a Qt item model. It asks the core's
// TocMatrix only for the rows the view draws, so large mailboxes scroll
// without loading every row.
#pragma once

#include <QAbstractTableModel>

#include "reader/TocMatrix.h"

namespace quill {

class TocMatrixModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Marks, From, Date, Subject, Size, ColumnCount };

    explicit TocMatrixModel(TocMatrix& matrix, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    // The matrix changed under the model. False when its rows stayed where
    // they were: no signal is sent, and the view only needs a redraw.
    bool reload();

  private:
    TocMatrix& m_matrix;
    // The shape the view was last reset to.
    std::uint64_t m_layoutVersion = ~std::uint64_t(0);
    int m_rows = -1;
    int m_columns = -1;
};

}  // namespace quill

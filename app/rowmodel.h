#pragma once
// The list's rows as an item model: the view shows them, every change goes through here so the
// view hears of it.
#include "schedule/rowlist.h"

#include <QAbstractTableModel>

class RowModel final : public QAbstractTableModel
{
public:
    explicit RowModel(QObject* parent = nullptr);

    const RowList& Rows() const { return m_rows; }

    void SetText(int row, int column, const QString& text);
    void SetFired(int row, bool fired);
    void ClearFired();
    void Append(std::vector<Row>&& rows);
    void Clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    RowList m_rows;
};

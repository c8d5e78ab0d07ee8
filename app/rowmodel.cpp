#include "app/rowmodel.h"

#include <QFont>

namespace {

const QString kHeaders[kRowColumns] = { QStringLiteral("文档目录"), QStringLiteral("文档描述"), QStringLiteral("定时方案"),
                                        QStringLiteral("下次触发") };

} // namespace

RowModel::RowModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void RowModel::SetText(int row, int column, const QString& text)
{
    if (m_rows.SetText(row, column, text))
        Q_EMIT dataChanged(index(row, column), index(row, column), { Qt::DisplayRole });
}

void RowModel::SetFired(int row, bool fired)
{
    if (m_rows.SetFired(row, fired))
        Q_EMIT dataChanged(index(row, 0), index(row, kRowColumns - 1), { Qt::FontRole });
}

void RowModel::ClearFired()
{
    for (int row = 0; row < m_rows.Count(); ++row)
        SetFired(row, false);
}

void RowModel::Append(std::vector<Row>&& rows)
{
    if (rows.empty())
        return;
    const int first = m_rows.Count();
    beginInsertRows(QModelIndex(), first, first + int(rows.size()) - 1);
    m_rows.Append(std::move(rows));
    endInsertRows();
}

void RowModel::Clear()
{
    beginResetModel();
    m_rows.Clear();
    endResetModel();
}

int RowModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.Count();
}

int RowModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kRowColumns;
}

QVariant RowModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.Count())
        return QVariant();
    const Row& row = m_rows.At(index.row());
    switch (role) {
    case Qt::DisplayRole: return row.Text(index.column());
    case Qt::FontRole:
        if (row.fired) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return QVariant();
    default: return QVariant();
    }
}

QVariant RowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kRowColumns)
        return QVariant();
    if (role == Qt::DisplayRole)
        return kHeaders[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}

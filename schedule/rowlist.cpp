#include "schedule/rowlist.h"

const QString& Row::Text(int column) const
{
    switch (column) {
    case kColDesc: return desc;
    case kColSched: return schedText;
    case kColNext: return nextText;
    default: return relative;
    }
}

QString& Row::Text(int column)
{
    return const_cast<QString&>(static_cast<const Row&>(*this).Text(column));
}

QString RowList::Text(int row, int column) const
{
    if (row < 0 || row >= Count() || column < 0 || column >= kRowColumns)
        return QString();
    return At(row).Text(column);
}

bool RowList::SetText(int row, int column, const QString& text)
{
    if (row < 0 || row >= Count() || column < 0 || column >= kRowColumns)
        return false;
    m_rows[size_t(row)].Text(column) = text;
    return true;
}

bool RowList::SetFired(int row, bool fired)
{
    if (row < 0 || row >= Count() || m_rows[size_t(row)].fired == fired)
        return false;
    m_rows[size_t(row)].fired = fired;
    return true;
}

void RowList::Append(std::vector<Row>&& rows)
{
    if (m_rows.empty()) {
        m_rows = std::move(rows);
        return;
    }
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
}

void RowList::Clear()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    ++m_generation;
}

int RowList::Find(const QString& relative, int hint) const
{
    if (hint >= 0 && hint < Count() && At(hint).relative == relative)
        return hint;
    for (int row = 0; row < Count(); ++row)
        if (At(row).relative == relative)
            return row;
    return -1;
}

RowRef RowRef::Of(const RowList& rows, int row)
{
    if (row < 0 || row >= rows.Count())
        return {};
    return { row, rows.At(row).relative, rows.Generation() };
}

int RowRef::Resolve(const RowList& rows) const
{
    if (row < 0 || generation != rows.Generation() || row >= rows.Count() || rows.At(row).relative != relative)
        return -1;
    return row;
}

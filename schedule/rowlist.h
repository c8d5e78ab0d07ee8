#pragma once
// The list's rows as data: each folder's path below the root and the three texts shown beside it.
// The window shows them through an item model; the search, the clipboard, the pass and every
// command read them here, never from a widget.
#include <QString>
#include <QStringList>

#include <vector>

enum RowColumn { kColPath = 0, kColDesc = 1, kColSched = 2, kColNext = 3, kRowColumns = 4 };

struct Row
{
    QString relative; // column 0: the folder's path after the root, beginning with the separator
    QString desc, schedText, nextText;
    bool fired = false; // fired since the alert was last cleared

    const QString& Text(int column) const;
    QString& Text(int column);
};

class RowList
{
public:
    int Count() const { return int(m_rows.size()); }
    const Row& At(int row) const { return m_rows[size_t(row)]; }
    // A column's text; empty for a row or column that does not exist.
    QString Text(int row, int column) const;
    // False, and nothing changed, for a row or column that does not exist.
    bool SetText(int row, int column, const QString& text);
    bool SetFired(int row, bool fired);

    void Append(std::vector<Row>&& rows);
    void Clear();
    void Reserve(int rows) { m_rows.reserve(size_t(rows)); }

    // Counts the loads: every Clear begins another, so a row index taken before it means nothing.
    quint64 Generation() const { return m_generation; }

    // The row whose path is relative: hint first (where it stood), then the whole list; -1 when
    // no row has it.
    int Find(const QString& relative, int hint = -1) const;

private:
    std::vector<Row> m_rows;
    quint64 m_generation = 0;
};

// A row as a command took it: valid only while the list is the same load and the row still shows
// the same folder.
struct RowRef
{
    int row = -1;
    QString relative;
    quint64 generation = 0;

    static RowRef Of(const RowList& rows, int row);
    // The row's index now, -1 when it is gone.
    int Resolve(const RowList& rows) const;
};

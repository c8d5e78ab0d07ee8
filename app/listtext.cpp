#include "app/listtext.h"

QString FormatListText(const QList<QStringList>& rows)
{
    QString text;
    qsizetype size = 0;
    for (const QStringList& row : rows) {
        for (const QString& cell : row)
            size += qMin<qsizetype>(cell.size(), kListCellCapacity) + 1;
        size += 2;
    }
    text.reserve(size);
    for (const QStringList& row : rows) {
        for (qsizetype column = 0; column < row.size(); ++column) {
            if (column > 0)
                text += u'>';
            text += QStringView(row[column]).left(kListCellCapacity);
        }
        text += QStringLiteral("\r\n");
    }
    return text;
}

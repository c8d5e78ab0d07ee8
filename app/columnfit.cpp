#include "app/columnfit.h"

#include <QStringList>

#include <algorithm>
#include <numeric>

ColumnWidths FitColumns(const ColumnWidths& wanted, int room)
{
    ColumnWidths widths = wanted;
    int excess = std::accumulate(widths.begin(), widths.end(), 0) - std::max(room, 0);
    for (const auto& [column, least] : { std::pair { kColDesc, kLeastDescWidth }, std::pair { kColPath, kLeastPathWidth } }) {
        if (excess <= 0)
            break;
        const int give = std::clamp(excess, 0, std::max(0, widths[column] - least));
        widths[column] -= give;
        excess -= give;
    }
    return widths;
}

QString ColumnWidthsText(const ColumnWidths& widths)
{
    QStringList parts;
    for (const int width : widths)
        parts.append(QString::number(width));
    return parts.join(u',');
}

std::optional<ColumnWidths> ParseColumnWidths(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != kRowColumns)
        return std::nullopt;
    ColumnWidths widths {};
    for (int column = 0; column < kRowColumns; ++column) {
        bool ok = false;
        widths[column] = parts[column].trimmed().toInt(&ok);
        if (!ok || widths[column] < 8 || widths[column] > 10000)
            return std::nullopt;
    }
    return widths;
}

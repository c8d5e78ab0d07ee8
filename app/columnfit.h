#pragma once
// The list's column widths for the room the list has, and their stored form.
#include "schedule/rowlist.h"

#include <QString>

#include <array>
#include <optional>

using ColumnWidths = std::array<int, kRowColumns>;

// The template's widths: folder, description, schedule, next trigger.
inline constexpr ColumnWidths kTemplateColumnWidths { 350, 1000, 260, 140 };
// What each column keeps at least when the list is too narrow for the widths asked for.
inline constexpr int kLeastDescWidth = 80;
inline constexpr int kLeastPathWidth = 160;

// The widths asked for when they fit into room (pixels); otherwise the description gives up width
// first, down to kLeastDescWidth, then the folder column down to kLeastPathWidth, so the schedule
// and the next trigger stay in view. No column is made wider than asked for, or narrower than
// asked for while the rest fit.
ColumnWidths FitColumns(const ColumnWidths& wanted, int room);

// "350,1000,260,140"; read back only when it is four widths between 8 and 10000 pixels.
QString ColumnWidthsText(const ColumnWidths& widths);
std::optional<ColumnWidths> ParseColumnWidths(const QString& text);

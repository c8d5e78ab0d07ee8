#pragma once
// The whole list as clipboard text.
#include <QList>
#include <QStringList>

constexpr int kListCellCapacity = 1023; // characters of a cell that the list hands out

// One line per row: the four columns joined by ">", each line ended by CR LF; a cell longer than
// the list hands out is cut. Line breaks inside a cell are kept.
QString FormatListText(const QList<QStringList>& rows);

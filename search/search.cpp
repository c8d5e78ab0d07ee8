#include "search/search.h"

#include <algorithm>

QStringList g_arrRowTexts;
CSortStringArray g_arrMatchKeys;
int g_nMatchPos = -1;

void CSortStringArray::SortNoCase()
{
    std::stable_sort(begin(), end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
}

void ClearSearchResults()
{
    g_arrRowTexts.clear();
    g_arrMatchKeys.clear();
}

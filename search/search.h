#pragma once
// The search state over the list texts.
#include <QStringList>

// A string array with an ascending sort that ignores case.
class CSortStringArray : public QStringList
{
public:
    void SortNoCase();
};

extern QStringList g_arrRowTexts;     // each row's four texts joined, as of the last search
extern CSortStringArray g_arrMatchKeys; // "count,row" of every matching row, sorted
extern int g_nMatchPos;               // index of the match shown last

// Empties the row texts and the keys; the match position stays.
void ClearSearchResults();

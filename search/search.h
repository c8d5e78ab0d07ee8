#pragma once
// The search over the list texts: splitting the search text into terms, ranking the rows by how
// many terms each contains, and the state that "下一条" steps through.
#include <QString>
#include <QStringList>
#include <QStringView>

#include <initializer_list>

// A string array with an ascending sort that ignores case.
class CSortStringArray : public QStringList
{
public:
    void SortNoCase();
};

// The search's state, between "搜索" and each "下一条".
extern QStringList g_arrRowTexts;       // each row's four texts joined, as of the last search
extern CSortStringArray g_arrMatchKeys; // "count,row" of every matching row, sorted
extern int g_nMatchPos;                 // index of the match shown last


constexpr int kMaxSearchTerms = 9;     // a search takes at most this many terms, empty ones included
constexpr int kMaxTermLength = 511;    // a longer term is cut to its first 511 characters
constexpr int kRowColumnCapacity = 1023; // characters of one column that a row text takes

// Empties the row texts and the keys; the match position stays.
void ClearSearchResults();

// Empties terms, then appends the pieces of text between vertical bars, in order. Nothing is
// trimmed; empty pieces are terms too, except that a bar at the very end adds none.
void SplitSearchTerms(QStringList& terms, QStringView text);

// A row's columns joined with nothing between them, each cut to kRowColumnCapacity characters.
QString JoinRowTexts(std::initializer_list<QString> columns);

// The key of a matching row, "count,row".
QString MatchKey(int count, int row);
// Reads a key back; false when it does not hold two numbers.
bool ParseMatchKey(const QString& key, int& count, int& row);

// One key per row that contains at least one non-empty term (exact, case-sensitive substring;
// each term counts once per row, a repeated term once per repetition), sorted with SortNoCase:
// the best row is last.
CSortStringArray RankMatches(const QStringList& rowTexts, const QStringList& terms);

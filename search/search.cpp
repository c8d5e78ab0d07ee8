#include "search/search.h"

#include "schedule/scanformat.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

// Declared with the rest of the program-wide state; defined here, where its type is complete.
QStringList g_arrRowTexts;
CSortStringArray g_arrMatchKeys;
int g_nMatchPos = -1;

namespace {

// True when no character of the text has a case: ignoring case then changes no comparison.
bool Caseless(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z'))
            return false;
    }
    return true;
}

} // namespace

void CSortStringArray::SortNoCase()
{
    // The keys are unique, so any correct sort gives the one order. Match keys are digits and a
    // comma, for which folding case is a waste: compare them as they are.
    if (std::all_of(cbegin(), cend(), Caseless)) {
        std::sort(begin(), end());
        return;
    }
    std::sort(begin(), end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
}

void ClearSearchResults()
{
    g_arrRowTexts.clear();
    g_arrMatchKeys.clear();
}

void SplitSearchTerms(QStringList& terms, QStringView text)
{
    terms.clear();
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype bar = text.indexOf(u'|', pos);
        const qsizetype end = bar < 0 ? text.size() : bar;
        terms.append(text.mid(pos, std::min<qsizetype>(end - pos, kMaxTermLength)).toString());
        if (bar < 0)
            break;
        pos = bar + 1;
    }
}

QString JoinRowTexts(std::initializer_list<QString> columns)
{
    qsizetype size = 0;
    for (const QString& column : columns)
        size += std::min<qsizetype>(column.size(), kRowColumnCapacity);
    QString text;
    text.reserve(size);
    for (const QString& column : columns)
        text += QStringView(column).left(kRowColumnCapacity);
    return text;
}

QString MatchKey(int count, int row)
{
    // One allocation: a search makes a key for every matching row.
    char buffer[32]; // two ints of at most 11 characters each and the comma
    char* end = std::to_chars(buffer, buffer + 12, count).ptr;
    *end++ = ',';
    end = std::to_chars(end, buffer + 24, row).ptr;
    return QString::fromLatin1(buffer, end - buffer);
}

bool ParseMatchKey(const QString& key, int& count, int& row)
{
    return ScanFormat(key, u"%d,%d", { &count, &row }) == 2;
}

CSortStringArray RankMatches(const QStringList& rowTexts, const QStringList& terms)
{
    // Exact code-unit matching, as QString::contains(CaseSensitive) does, but through the standard
    // library's search: Qt's hashing search costs several times more on these short terms.
    std::vector<std::u16string_view> needles;
    needles.reserve(size_t(terms.size()));
    for (const QString& term : terms)
        needles.emplace_back(QStringView(term).utf16(), size_t(term.size()));
    CSortStringArray keys;
    for (qsizetype row = 0; row < rowTexts.size(); ++row) {
        const std::u16string_view text(QStringView(rowTexts[row]).utf16(), size_t(rowTexts[row].size()));
        int found = 0;
        for (const std::u16string_view needle : needles) {
            if (!needle.empty() && text.find(needle) != std::u16string_view::npos)
                ++found;
        }
        if (found > 0)
            keys.append(MatchKey(found, int(row)));
    }
    keys.SortNoCase();
    return keys;
}

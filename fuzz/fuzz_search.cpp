// Splitting a search text into terms and ranking rows by them, on any text and rows.
#include "fuzzsupport.h"
#include "search/search.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    // The search text, then the rows, separated by newlines.
    const QString all = input.RestAsLatin1();
    const qsizetype cut = all.indexOf(u'\n');
    const QString search = cut < 0 ? all : all.left(cut);
    const QStringList rows = cut < 0 ? QStringList() : all.mid(cut + 1).split(u'\n');

    QStringList terms { QStringLiteral("stale") };
    SplitSearchTerms(terms, search);
    for (const QString& term : terms) {
        FUZZ_CHECK(!term.contains(u'|'));
        FUZZ_CHECK(term.size() <= kMaxTermLength);
    }
    // Put back together with bars the terms give the text (less a final bar), unless a term was cut.
    QString joined = terms.join(u'|');
    if (search.endsWith(u'|'))
        joined += u'|';
    const bool anyCut = std::any_of(terms.begin(), terms.end(), [](const QString& t) { return t.size() == kMaxTermLength; });
    if (!anyCut)
        FUZZ_CHECK(joined == search);
    FUZZ_CHECK(search.isEmpty() == terms.isEmpty());

    const CSortStringArray keys = RankMatches(rows, terms);
    qsizetype nonEmpty = 0;
    for (const QString& term : terms)
        nonEmpty += term.isEmpty() ? 0 : 1;
    QList<bool> seen(rows.size(), false);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        int count = -1, row = -1;
        FUZZ_CHECK(ParseMatchKey(keys[i], count, row));
        FUZZ_CHECK(row >= 0 && row < rows.size() && !seen[row]);
        seen[row] = true;
        FUZZ_CHECK(count >= 1 && count <= nonEmpty);
        if (i > 0)
            FUZZ_CHECK(QString::compare(keys[i - 1], keys[i], Qt::CaseInsensitive) < 0);
    }
    // Every row holding a non-empty term has a key.
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const bool holds = std::any_of(terms.begin(), terms.end(), [&](const QString& t) {
            return !t.isEmpty() && rows[r].contains(t);
        });
        FUZZ_CHECK(holds == seen[r]);
    }
    return 0;
}

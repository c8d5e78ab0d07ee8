// The core of the search: splitting, joining, keys and their order.
#include "search/search.h"

#include <gtest/gtest.h>

namespace {

QStringList Split(const QString& text)
{
    QStringList terms { QStringLiteral("left over") };
    SplitSearchTerms(terms, text);
    return terms;
}

} // namespace

TEST(SplitSearchTerms, SplitsAtBarsAndKeepsEverythingElse)
{
    EXPECT_EQ(Split(QString()), QStringList());
    EXPECT_EQ(Split(QStringLiteral("abc")), QStringList { QStringLiteral("abc") });
    EXPECT_EQ(Split(QStringLiteral("a||b")), (QStringList { QStringLiteral("a"), QString(), QStringLiteral("b") }));
    EXPECT_EQ(Split(QStringLiteral("|a")), (QStringList { QString(), QStringLiteral("a") }));
    EXPECT_EQ(Split(QStringLiteral("a|")), QStringList { QStringLiteral("a") });
    EXPECT_EQ(Split(QStringLiteral("|")), QStringList { QString() });
    EXPECT_EQ(Split(QStringLiteral("||")), (QStringList { QString(), QString() }));
    // Blanks belong to the terms.
    EXPECT_EQ(Split(QStringLiteral(" 合同 | 2025")), (QStringList { QStringLiteral(" 合同 "), QStringLiteral(" 2025") }));
}

TEST(SplitSearchTerms, CutsLongTermsToTheirFirst511Characters)
{
    const QString exact(kMaxTermLength, u'甲');
    const QString longer = QString(kMaxTermLength, u'乙') + QStringLiteral("丙丁");
    const QStringList terms = Split(exact + u'|' + longer + QStringLiteral("|x"));
    ASSERT_EQ(terms.size(), 3);
    EXPECT_EQ(terms[0], exact);
    EXPECT_EQ(terms[1], QString(kMaxTermLength, u'乙'));
    EXPECT_EQ(terms[2], QStringLiteral("x"));
}

TEST(JoinRowTexts, JoinsWithoutSeparatorAndCutsEachColumn)
{
    EXPECT_EQ(JoinRowTexts({ QStringLiteral("/A/B"), QStringLiteral("说明"), QString(), QStringLiteral("2026-1-5 09:00") }),
              QStringLiteral("/A/B说明2026-1-5 09:00"));
    const QString full(kRowColumnCapacity, u'a');
    const QString over = QString(kRowColumnCapacity, u'b') + QStringLiteral("TAIL");
    const QString joined = JoinRowTexts({ full, over, QStringLiteral("c"), QStringLiteral("d") });
    EXPECT_EQ(joined, full + QString(kRowColumnCapacity, u'b') + QStringLiteral("cd"));
}

TEST(MatchKeys, RoundTripAndRejectGarbage)
{
    int count = -7, row = -7;
    ASSERT_TRUE(ParseMatchKey(MatchKey(3, 12345), count, row));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(row, 12345);
    EXPECT_EQ(MatchKey(1, 10), QStringLiteral("1,10"));
    EXPECT_FALSE(ParseMatchKey(QStringLiteral("1;2"), count, row));
    EXPECT_FALSE(ParseMatchKey(QString(), count, row));
}

TEST(SortNoCase, OrdersKeysAsTextIgnoringCase)
{
    CSortStringArray keys;
    keys << QStringLiteral("1,9") << QStringLiteral("2,0") << QStringLiteral("1,10") << QStringLiteral("1,2")
         << QStringLiteral("b") << QStringLiteral("A") << QStringLiteral("a1");
    keys.SortNoCase();
    EXPECT_EQ(keys, (QStringList { QStringLiteral("1,10"), QStringLiteral("1,2"), QStringLiteral("1,9"),
                                   QStringLiteral("2,0"), QStringLiteral("A"), QStringLiteral("a1"),
                                   QStringLiteral("b") }));

    // Keys alone, with no letter among them, still sort as text.
    CSortStringArray digits;
    digits << QStringLiteral("9,100") << QStringLiteral("2,0") << QStringLiteral("1,9") << QStringLiteral("10,1")
           << QStringLiteral("1,10") << QStringLiteral("1,2");
    digits.SortNoCase();
    EXPECT_EQ(digits, (QStringList { QStringLiteral("1,10"), QStringLiteral("1,2"), QStringLiteral("1,9"),
                                     QStringLiteral("10,1"), QStringLiteral("2,0"), QStringLiteral("9,100") }));
}

TEST(RankMatches, CountsTermsNotOccurrencesAndIgnoresEmptyTerms)
{
    const QStringList rows { QStringLiteral("none here"), QStringLiteral("xx solo"), QStringLiteral("abc"),
                             QStringLiteral("x and y"), QStringLiteral("ABC y"), QStringLiteral("y x x") };
    // Two terms beat one; a term repeated in the row still counts once.
    EXPECT_EQ(RankMatches(rows, { QStringLiteral("x"), QStringLiteral("y") }),
              (QStringList { QStringLiteral("1,1"), QStringLiteral("1,4"), QStringLiteral("2,3"), QStringLiteral("2,5") }));
    // The same term entered twice counts twice.
    EXPECT_EQ(RankMatches(rows, { QStringLiteral("x"), QStringLiteral("x") }),
              (QStringList { QStringLiteral("2,1"), QStringLiteral("2,3"), QStringLiteral("2,5") }));
    // Case matters; empty terms never count.
    EXPECT_EQ(RankMatches(rows, { QString(), QStringLiteral("abc"), QString() }), QStringList { QStringLiteral("1,2") });
    EXPECT_TRUE(RankMatches(rows, { QString(), QString() }).isEmpty());
    EXPECT_TRUE(RankMatches({}, { QStringLiteral("x") }).isEmpty());
}

#include "schedule/scanformat.h"

#include <gtest/gtest.h>

TEST(ScanFormat, ReadsNumbersAndStopsAtFirstMismatch)
{
    int a = 7, b = 7, c = 7, d = 7;
    EXPECT_EQ(ScanFormat(u"2-29", u"%d-%d", { &a, &b }), 2);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 29);

    // Blanks before a number are skipped; what follows the last place is ignored.
    a = b = c = d = 7;
    EXPECT_EQ(ScanFormat(u" 2024-9- 16, 7xyz", u"%d-%d-%d,%d", { &a, &b, &c, &d }), 4);
    EXPECT_EQ(c, 16);
    EXPECT_EQ(d, 7);

    // A literal that does not match ends the reading; later places keep their values.
    a = b = c = d = 7;
    EXPECT_EQ(ScanFormat(u"2024/9/16,7", u"%d-%d-%d,%d", { &a, &b, &c, &d }), 1);
    EXPECT_EQ(a, 2024);
    EXPECT_EQ(b, 7);

    // Signs.
    EXPECT_EQ(ScanFormat(u"-5", u"%d", { &a }), 1);
    EXPECT_EQ(a, -5);
    EXPECT_EQ(ScanFormat(u"+5", u"%d", { &a }), 1);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(ScanFormat(u"-", u"%d", { &a }), 0);
    EXPECT_EQ(ScanFormat(u"", u"%d", { &a }), 0);
}

TEST(ScanFormat, NumbersBeyond32BitsAreNotRead)
{
    int a = 1, b = 1;
    EXPECT_EQ(ScanFormat(u"2147483647", u"%d", { &a }), 1);
    EXPECT_EQ(a, 2147483647);
    EXPECT_EQ(ScanFormat(u"-2147483648", u"%d", { &a }), 1);
    EXPECT_EQ(a, -2147483647 - 1);
    a = 1;
    EXPECT_EQ(ScanFormat(u"2147483648", u"%d", { &a }), 0);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(ScanFormat(u"7-99999999999999999999", u"%d-%d", { &a, &b }), 1);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 1);
}

TEST(ScanFormat, WordStopsAtBlankAndLimit)
{
    int mode = 9, hour = 9, minute = 9;
    QString spec = QStringLiteral("old");
    EXPECT_EQ(ScanFormat(u"2;9;5;2024-9-16,7 tail", u"%d;%d;%d;%s", { &mode, &hour, &minute }, &spec), 4);
    EXPECT_EQ(spec, QStringLiteral("2024-9-16,7"));

    // An empty word fills nothing and leaves the text alone.
    spec = QStringLiteral("old");
    EXPECT_EQ(ScanFormat(u"-1;0;0;", u"%d;%d;%d;%s", { &mode, &hour, &minute }, &spec), 3);
    EXPECT_EQ(mode, -1);
    EXPECT_EQ(spec, QStringLiteral("old"));

    // At most wordMax characters.
    const QString longWord(100, u'x');
    EXPECT_EQ(ScanFormat(QString(QStringLiteral("1;2;3;") + longWord), u"%d;%d;%d;%s", { &mode, &hour, &minute },
                         &spec, 63),
              4);
    EXPECT_EQ(spec.size(), 63);

    // A line that does not begin with a number fills nothing.
    mode = -1;
    EXPECT_EQ(ScanFormat(u"x;1;2;3", u"%d;%d;%d;%s", { &mode, &hour, &minute }, &spec), 0);
    EXPECT_EQ(mode, -1);
}

#include "edit/settingscheck.h"

#include <gtest/gtest.h>

namespace {

struct SpecCase
{
    int mode;
    const char16_t* spec;
    bool weekend;
    const char16_t* message; // empty: accepted without a word
    bool accepted;
    bool clearWeekend;
};

TEST(CheckScheduleSpec, EachModeTestsInOrder)
{
    const SpecCase cases[] = {
        // Yearly: month-day.
        { 0, u"2-29", false, u"", true, false },
        { 0, u"2-30", false, u"", true, false },
        { 0, u"2-31", false, u"", true, false },
        { 0, u"12-1", false, u"", true, false },
        { 0, u"+2-+3", false, u"", true, false },
        { 0, u"2", false, u"每年触发触发，但日期格式不正确！", false, false },
        { 0, u"", false, u"每年触发触发，但日期格式不正确！", false, false },
        { 0, u"-1-5", false, u"每年触发触发，但日期格式不正确！", false, false },
        { 0, u"2/3", false, u"每年触发触发，但日期格式不正确！", false, false },
        { 0, u"13-1", false, u"每年触发触发，但月份不正确！", false, false },
        { 0, u"0-40", false, u"每年触发触发，但月份不正确！", false, false },
        { 0, u"12-32", false, u"每年触发触发，但日期不正确！", false, false },
        { 0, u"12-0", false, u"每年触发触发，但日期不正确！", false, false },
        // Monthly: day; text after the number is ignored.
        { 1, u"31", false, u"", true, false },
        { 1, u"15日", false, u"", true, false },
        { 1, u"0", false, u"每月触发，但日期不正确！", false, false },
        { 1, u"32", false, u"每月触发，但日期不正确！", false, false },
        { 1, u"-1", false, u"每月触发，但日期格式不正确！", false, false },
        { 1, u"x", false, u"每月触发，但日期格式不正确！", false, false },
        { 1, u"99999999999", false, u"每月触发，但日期格式不正确！", false, false },
        // Every N days.
        { 2, u"2024-9-15,1", false, u"", true, false },
        { 2, u"2024-9-15", false, u"每几天触发，但格式不正确！", false, false },
        { 2, u"-1-9-15,3", false, u"每几天触发，但格式不正确！", false, false },
        { 2, u"2024-13-15,3", false, u"每几天触发，但月份不正确！", false, false },
        { 2, u"2024-9-32,3", false, u"每几天触发，但日期不正确！", false, false },
        { 2, u"2024-9-15,0", false, u"每几天触发，但日期不正确！", false, false },
        { 2, u"2024-9-15,-4", false, u"每几天触发，但日期不正确！", false, false },
        { 2, u"2024-9-15,1", true, u"每几天触发，但间隔天数少于2天，周末提前自动忽略！", true, true },
        { 2, u"2024-9-15,2", true, u"每几天触发，但间隔天数少于2天，周末提前自动忽略！", true, true },
        { 2, u"2024-9-15,3", true, u"", true, false },
        { 2, u"-5-9-15,3", false, u"", true, false }, // the year has no range test
        // Every N months: the interval only has to be there.
        { 3, u"2024-9-15,1", true, u"", true, false },
        { 3, u"2024-9-15,0", false, u"", true, false },
        { 3, u"2024-9-15,-2", false, u"", true, false },
        { 3, u"2024-9-15", false, u"每几个月触发，但格式不正确！", false, false },
        { 3, u"2024-0-15,1", false, u"每几个月触发，但月份不正确！", false, false },
        { 3, u"2024-9-0,1", false, u"每几个月触发，但日期不正确！", false, false },
    };
    for (const SpecCase& c : cases) {
        const QString spec = QString::fromUtf16(c.spec);
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " spec \"" << spec.toStdString() << "\" weekend "
                                        << c.weekend);
        const SettingsCheck check = CheckScheduleSpec(c.mode, spec, c.weekend);
        EXPECT_EQ(check.message, QString::fromUtf16(c.message));
        EXPECT_EQ(check.accepted, c.accepted);
        EXPECT_EQ(check.clearWeekend, c.clearWeekend);
    }
}

// The schedule file keeps one word of at most 63 units: anything else is refused up front with
// the mode's format message, even when the scan alone would pass it.
TEST(CheckScheduleSpec, RefusesWhatTheFileCannotKeep)
{
    const QString formatMessages[] = { QStringLiteral("每年触发触发，但日期格式不正确！"),
                                       QStringLiteral("每月触发，但日期格式不正确！"),
                                       QStringLiteral("每几天触发，但格式不正确！"),
                                       QStringLiteral("每几个月触发，但格式不正确！") };
    const QString valid[] = { QStringLiteral("2-3"), QStringLiteral("15"), QStringLiteral("2024-9-15,3"),
                              QStringLiteral("2024-9-15,3") };
    for (int mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        const QString padded = valid[mode] + QString(kMaxSpecLength - valid[mode].size(), u'x');
        EXPECT_TRUE(CheckScheduleSpec(mode, padded, false).accepted);
        EXPECT_EQ(CheckScheduleSpec(mode, padded + u'x', false).message, formatMessages[mode]);
        for (const QString& spaced : { u' ' + valid[mode], valid[mode] + u' ', valid[mode] + u'\t',
                                       valid[mode] + QChar(0x3000) }) {
            const SettingsCheck check = CheckScheduleSpec(mode, spaced, false);
            EXPECT_FALSE(check.accepted);
            EXPECT_EQ(check.message, formatMessages[mode]);
        }
    }
    // A blank after the comma would pass the scan but be read back without its interval.
    EXPECT_EQ(CheckScheduleSpec(2, QStringLiteral("2024-9-15, 1"), false).message, formatMessages[2]);
    EXPECT_FALSE(CheckScheduleSpec(4, QStringLiteral("1"), false).accepted);
    EXPECT_FALSE(CheckScheduleSpec(-1, QStringLiteral("1"), false).accepted);
}

TEST(CheckSettings, FixedOrderOfTests)
{
    SettingsEntries entries;
    entries.path = QStringLiteral("/root/a/b");
    entries.mode = 0;
    entries.hour = 24;
    entries.minute = 60;
    entries.spec = QStringLiteral("13-1");
    entries.desc = QString(1001, u'字');

    auto message = [&] { return CheckSettings(entries).message; };
    entries.path.clear();
    EXPECT_EQ(message(), QStringLiteral("未指定目录！"));
    entries.path = QStringLiteral("/root/a/b");
    EXPECT_EQ(message(), QStringLiteral("描述文字不能超过1000个文字！"));
    entries.desc.chop(1); // exactly 1000 passes
    EXPECT_EQ(message(), QStringLiteral("小时不正确！"));
    entries.hour = -1;
    EXPECT_EQ(message(), QStringLiteral("时间点不完整！"));
    entries.hour = 0;
    entries.minute = -1;
    EXPECT_EQ(message(), QStringLiteral("时间点不完整！"));
    entries.minute = 60;
    EXPECT_EQ(message(), QStringLiteral("分钟不正确！"));
    entries.minute = -2;
    EXPECT_EQ(message(), QStringLiteral("分钟不正确！"));
    entries.hour = -3;
    EXPECT_EQ(message(), QStringLiteral("小时不正确！"));
    entries.hour = 23;
    entries.minute = 59;
    EXPECT_EQ(message(), QStringLiteral("每年触发触发，但月份不正确！"));
    entries.spec = QStringLiteral("12-31");
    EXPECT_TRUE(CheckSettings(entries).accepted);
    EXPECT_TRUE(message().isEmpty());

    // No mode: nothing after the description is looked at.
    entries.mode = -1;
    entries.hour = -1;
    entries.minute = 99;
    entries.spec = QStringLiteral("anything at all");
    EXPECT_TRUE(CheckSettings(entries).accepted);
    EXPECT_TRUE(message().isEmpty());
    entries.desc.append(u'x');
    EXPECT_FALSE(CheckSettings(entries).accepted);
}

TEST(ParseDialogInt, IntegersOnly)
{
    int value = 42;
    const struct
    {
        const char16_t* text;
        int expected;
    } good[] = { { u"0", 0 },   { u"-1", -1 }, { u"+7", 7 }, { u" 12\t", 12 }, { u"007", 7 },
                 { u"2147483647", 2147483647 }, { u"-2147483648", -2147483647 - 1 } };
    for (const auto& g : good) {
        SCOPED_TRACE(QString::fromUtf16(g.text).toStdString());
        value = 42;
        EXPECT_TRUE(ParseDialogInt(QString::fromUtf16(g.text), value));
        EXPECT_EQ(value, g.expected);
    }
    for (const char16_t* bad : { u"", u"  ", u"-", u"+", u"1.5", u"1 2", u"abc", u"12a", u"2147483648",
                                 u"-2147483649", u"99999999999999999999", u"１２", u"--1" }) {
        SCOPED_TRACE(QString::fromUtf16(bad).toStdString());
        value = 42;
        EXPECT_FALSE(ParseDialogInt(QString::fromUtf16(bad), value));
        EXPECT_EQ(value, 42);
    }
}

} // namespace

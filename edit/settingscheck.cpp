#include "edit/settingscheck.h"

#include "schedule/scanformat.h"
#include "schedule/schedulerecord.h"


namespace {

struct ModeTexts
{
    const char16_t* format;     // wrong format, a number missing, or text the file cannot keep
    const char16_t* month;      // month out of range
    const char16_t* day;        // day (or, every N days, interval) out of range
    const char16_t* unreadable; // the scan itself failed
};

// Indexed by mode. The yearly texts repeat "触发" as the users have always seen them.
const ModeTexts kModeTexts[] = {
    { u"每年触发触发，但日期格式不正确！", u"每年触发触发，但月份不正确！", u"每年触发触发，但日期不正确！",
      u"每年触发触发，但格式不能识别！" },
    { u"每月触发，但日期格式不正确！", nullptr, u"每月触发，但日期不正确！", u"每月触发，但格式不能识别！" },
    { u"每几天触发，但格式不正确！", u"每几天触发，但月份不正确！", u"每几天触发，但日期不正确！",
      u"每几天触发，但格式不能识别！" },
    { u"每几个月触发，但格式不正确！", u"每几个月触发，但月份不正确！", u"每几个月触发，但日期不正确！",
      u"每几个月触发，但格式不能识别！" },
};

const char16_t kWeekendIgnored[] = u"每几天触发，但间隔天数少于2天，周末提前自动忽略！";

SettingsCheck Refuse(const char16_t* text)
{
    SettingsCheck check;
    check.accepted = false;
    check.message = QString::fromUtf16(text);
    return check;
}

bool InRange(int value, int low, int high)
{
    return value >= low && value <= high;
}

// The schedule file keeps the schedule text as one word of at most 63 units; anything else would
// be read back cut short.
bool FileCanKeep(const QString& spec)
{
    if (spec.size() > kMaxSpecLength)
        return false;
    for (const QChar c : spec) {
        if (c.isSpace())
            return false;
    }
    return true;
}

SettingsCheck ScanAndTest(int mode, const QString& spec, bool weekend)
{
    const ModeTexts& texts = kModeTexts[mode];
    if (!FileCanKeep(spec))
        return Refuse(texts.format);

    // A number the scan never reaches stays -1, and -1 as written counts as missing too.
    const ScheduleSpec s = ParseScheduleSpec(mode, spec, -1);
    if (s.day == -1 || (mode != SCHED_MONTHLY && s.month == -1)
        || (mode >= SCHED_EVERY_N_DAYS && (s.year == -1 || s.interval == -1)))
        return Refuse(texts.format);
    if (mode != SCHED_MONTHLY && !InRange(s.month, 1, 12))
        return Refuse(texts.month);
    if (!InRange(s.day, 1, 31))
        return Refuse(texts.day);
    // Every N months leaves the interval to the date rules.
    if (mode == SCHED_EVERY_N_DAYS && s.interval <= 0)
        return Refuse(texts.day);
    if (mode == SCHED_EVERY_N_DAYS && s.interval <= 2 && weekend) {
        SettingsCheck notice;
        notice.message = QString::fromUtf16(kWeekendIgnored);
        notice.clearWeekend = true;
        return notice;
    }
    return {};
}

} // namespace

SettingsCheck CheckScheduleSpec(int mode, const QString& spec, bool weekend)
{
    if (!InRange(mode, 0, 3)) {
        SettingsCheck check;
        check.accepted = false;
        return check;
    }
    try {
        return ScanAndTest(mode, spec, weekend);
    } catch (...) {
        return Refuse(kModeTexts[mode].unreadable);
    }
}

SettingsCheck CheckSettings(const SettingsEntries& entries)
{
    if (entries.path.isEmpty())
        return Refuse(u"未指定目录！");
    if (entries.desc.size() > kMaxDescLength)
        return Refuse(u"描述文字不能超过1000个文字！");
    if (entries.mode == -1)
        return {};
    if (entries.minute == -1 || entries.hour == -1)
        return Refuse(u"时间点不完整！");
    if (!InRange(entries.hour, 0, 23))
        return Refuse(u"小时不正确！");
    if (!InRange(entries.minute, 0, 59))
        return Refuse(u"分钟不正确！");
    return CheckScheduleSpec(entries.mode, entries.spec, entries.weekend);
}

bool ParseDialogInt(QStringView text, int& value)
{
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    // The whole of what is left must be the number.
    int read = 0;
    if (!ReadInt(text.first(end), begin, read) || begin != end)
        return false;
    value = read;
    return true;
}

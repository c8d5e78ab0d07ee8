#include "platform/exclusivefile.h"
#include "platform/fileattr.h"
#include "platform/localtime.h"
#include "platform/messageport.h"
#include "schedule/calendar.h"
#include "schedule/schedule.h"
#include "schedule/schedulerecord.h"
#include "store/desc.h"
#include "store/textfile.h"

#include <charconv>
#include <limits>

namespace {

const QString kMsgOpenFailed = QStringLiteral("处理定时错误，%s打开失败！");
const QString kMsgDamagedRead = QStringLiteral("获取定时信息错误，文件%s内容异常，已自动清理！");
const QString kMsgDamagedDue = QStringLiteral("处理定时错误，文件%s内容异常，已自动清理！");
const QString kMsgCreateFailed = QStringLiteral("%s创建失败，请检查目录是否有写权限！");
const QString kMsgComputeFailed = QStringLiteral("%s初始化发生错误，已自动清理！%s");

const QString kCrLf = QStringLiteral("\r\n");

enum class Load { Lines, NoFile, Failed };

// The steps every reader of a schedule file begins with. With keepOpen the file is opened for
// rewriting, read whole and left open in it; otherwise it is read to the usual capacity and closed.
// A file of fewer than three lines is deleted with damageMessage; three lines gain a fourth "0".
Load LoadSchedule(const QString& path, const QString& damageMessage, QStringList& lines,
                  CFile* keepOpen = nullptr)
{
    CFile local;
    CFile& file = keepOpen ? *keepOpen : local;
    if (!file.Open(path, keepOpen ? CFile::modeReadWrite : CFile::modeRead)) {
        if (!PathExists(path))
            return Load::NoFile;
        ShowMessage(FormatMessage(kMsgOpenFailed, { path }));
        return Load::Failed;
    }
    QString text = ReadUnicodeText(file);
    if (keepOpen) {
        // The rewrite copies the lines whole, so take the text to its end, not just the first
        // buffer's worth.
        while (text.size() % kTextCapacity == 0 && !text.isEmpty()) {
            const QString more = ReadUnicodeText(file);
            text += more;
            if (more.isEmpty())
                break;
        }
    }
    SplitLines(text, lines);
    if (lines.size() < 3) {
        // Removed while still held, so a file another instance writes meanwhile is not lost.
        file.Remove();
        ShowMessage(FormatMessage(damageMessage, { path }));
        return Load::Failed;
    }
    if (!keepOpen)
        file.Close();
    if (lines.size() == 3)
        lines.append(QStringLiteral("0"));
    return Load::Lines;
}

QString SchedulePath(const QString& folder)
{
    return JoinPath(folder, kTimerFileName);
}

// Builds a list text piece by piece in one buffer; the texts are formed for every row of every
// load, where a chain of QString::arg calls costs more than reading the file. Numbers come out as
// arg() writes them.
class Text
{
public:
    Text() { m_text.reserve(32); }
    Text& Put(QStringView piece)
    {
        m_text.append(piece);
        return *this;
    }
    Text& Put(char16_t c)
    {
        m_text.append(QChar(c));
        return *this;
    }
    Text& Num(int n) { return Digits(n, false); }
    // Two places at least, a leading zero before 0 to 9, as arg(n, 2, 10, u'0').
    Text& Num2(int n) { return Digits(n, true); }
    QString Take() { return std::move(m_text); }

private:
    Text& Digits(int n, bool two)
    {
        char buffer[16];
        char* p = buffer;
        if (two && n >= 0 && n < 10)
            *p++ = '0';
        p = std::to_chars(p, buffer + sizeof buffer, n).ptr;
        m_text.append(QLatin1StringView(buffer, p - buffer));
        return *this;
    }
    QString m_text;
};

// More than any zone's distance from UTC (the widest in history is under 16 hours).
constexpr qint64 kZoneSlack = 2 * 86400;

// A calendar time counted in seconds as if the clocks kept UTC.
qint64 WallClockSeconds(int year, int month, int day, int hour, int minute)
{
    return DaysFromCivil(year, month, day) * 86400 + qint64(hour) * 3600 + qint64(minute) * 60;
}

// Stores a file's pieces; the mark goes in front of the first.
void WritePieces(CFile& file, const QStringList& pieces)
{
    for (const QString& piece : pieces)
        WriteUnicodeText(file, piece);
}

} // namespace

bool WriteScheduleFile(QString folder, int mode, int hour, int minute, QString spec, int count, bool weekend)
{
    const QString path = SchedulePath(folder);
    CFile file;
    if (!file.Open(path, CFile::modeCreate)) {
        ShowMessage(FormatMessage(kMsgCreateFailed, { path }));
        return false;
    }
    TruncateFile(file);
    ScheduleRecord record { mode, hour, minute, spec, {}, count, weekend ? 1 : 0 };
    if (mode != SCHED_NONE) {
        NextTrigger next = ComputeNext(mode, ParseScheduleSpec(mode, spec), hour, minute, record.weekend);
        LocalTime lt;
        if (next.ok && !ToLocalTime(next.time, lt))
            next = { g_tNow, false, QStringLiteral("矫正时间发生错误，请注意格式要求！") };
        if (!next.ok) {
            ShowMessage(FormatMessage(kMsgComputeFailed, { folder, next.error }));
            // Then the old schedule goes too, still held through the message box. Only a file that
            // was there when opened is removed.
            file.Remove();
            return false;
        }
        record.next = { lt.year, lt.month, lt.day, lt.hour, lt.minute };
    }
    WritePieces(file, record.Encode());
    if (!file.Close()) {
        // The new content could not be stored; the old file is unchanged.
        ShowMessage(FormatMessage(kMsgCreateFailed, { path }));
        return false;
    }
    return true;
}

bool ReadScheduleForEdit(QString folder, int& mode, int& hour, int& minute, QString& spec, int& count,
                         bool& weekend)
{
    QStringList lines;
    ScheduleRecord record { mode, hour, minute, QString(), {}, 0, 0 };
    switch (LoadSchedule(SchedulePath(folder), kMsgDamagedRead, lines)) {
    case Load::Failed: return false;
    case Load::NoFile: record.mode = SCHED_NONE; break;
    case Load::Lines: record.Decode(lines); break;
    }
    mode = record.mode;
    if (mode == SCHED_NONE) {
        spec.clear();
        hour = minute = count = 0;
        weekend = false;
        return true;
    }
    hour = record.hour;
    minute = record.minute;
    spec = record.spec;
    count = record.count;
    weekend = record.weekend != 0;
    return true;
}

bool GetScheduleTexts(QString folder, QString& schedText, QString& nextText)
{
    QStringList lines;
    switch (LoadSchedule(SchedulePath(folder), kMsgDamagedRead, lines)) {
    case Load::Failed: return false;
    case Load::NoFile:
        schedText.clear();
        nextText.clear();
        return true;
    case Load::Lines: break;
    }
    ScheduleRecord record;
    record.count = -1;
    record.Decode(lines);
    if (record.mode == SCHED_NONE) {
        schedText.clear();
        nextText.clear();
        return true;
    }
    // The next trigger as stored, at the time it fires (on the day of the spring change that can
    // differ from the set time the schedule text shows).
    const StoredTrigger& next = record.next;
    if (record.count == 0)
        nextText = QStringLiteral("已停止");
    else
        nextText = Text().Num(next.year).Put(u'-').Num(next.month).Put(u'-').Num(next.day).Put(u' ')
                       .Num2(next.hour).Put(u':').Num2(next.minute).Take();

    int hour, minute;
    record.TimeOfDay(hour, minute);

    const ScheduleSpec s = ParseScheduleSpec(record.mode, record.spec);
    switch (record.mode) {
    case SCHED_YEARLY:
        schedText = Text().Put(u"每年").Num(s.month).Put(u"月").Num(s.day).Put(u"日").Num(hour).Put(u"点").Num(minute)
                        .Put(u"分触发").Take();
        break;
    case SCHED_MONTHLY:
        schedText = Text().Put(u"每月").Num(s.day).Put(u"日").Num(hour).Put(u"点").Num(minute).Put(u"分触发").Take();
        break;
    case SCHED_EVERY_N_DAYS:
        schedText = Text().Num(s.year).Put(u"年").Num(s.month).Put(u"月").Num(s.day).Put(u"日起，每").Num(s.interval)
                        .Put(u"天").Num(hour).Put(u"点").Num(minute).Put(u"分").Take();
        break;
    case SCHED_EVERY_N_MONTHS:
        schedText = Text().Num(s.year).Put(u"年").Num(s.month).Put(u"月").Num(s.day).Put(u"日起，每").Num(s.interval)
                        .Put(u"个月").Num(hour).Put(u"点").Num(minute).Put(u"分").Take();
        break;
    default: break; // an unknown mode leaves the caller's text
    }
    return true;
}

bool ProcessDueSchedule(QString folder)
{
    QStringList lines;
    if (LoadSchedule(SchedulePath(folder), kMsgDamagedDue, lines) != Load::Lines)
        return false;
    ScheduleRecord record;
    record.Decode(lines);
    if (record.mode == SCHED_NONE || record.count == 0)
        return false;
    int hour, minute;
    record.TimeOfDay(hour, minute);
    const int year = record.next.year, month = record.next.month, day = record.next.day;

    // A line 2 that cannot form a time (edited by hand) counts as due, so the schedule fires once
    // and the rewrite below stores a proper next trigger.
    const bool inRange = IsBuildableTime(year, month, day, hour, minute);
    // Most schedules lie days ahead. The instant a wall-clock time stands for is within a day of
    // that time read as UTC in every zone, so two days settle it without the platform conversion,
    // which re-reads the zone file on each call and would cost more than reading the file did.
    if (inRange && WallClockSeconds(year, month, day, hour, minute) - kZoneSlack > g_tNow)
        return false;
    qint64 t = 0;
    const bool valid = inRange && LocalWallTime(year, month, day, hour, minute, t);
    if (valid && t > g_tNow)
        return false;

    // Counts below -1 stay without limit; the lowest one must not wrap round to a positive count.
    int count = record.count;
    if (count != -1 && count != std::numeric_limits<int>::min())
        --count;
    return WriteScheduleFile(folder, record.mode, hour, minute, record.spec, count, record.weekend != 0);
}

bool StopSchedule(QString folder)
{
    const QString path = SchedulePath(folder);
    CFile file;
    QStringList lines;
    switch (LoadSchedule(path, kMsgDamagedRead, lines, &file)) {
    case Load::Failed: return false;
    case Load::NoFile: return true; // nothing to stop, and nothing is created
    case Load::Lines: break;
    }
    // Lines 1, 2 and 4 as they stand, unparsed; line 3 stops it.
    TruncateFile(file);
    WritePieces(file, { lines[0] + kCrLf, lines[1] + kCrLf, QStringLiteral("0\r\n"), lines[3] });
    return file.Close();
}

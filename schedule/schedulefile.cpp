#include "platform/exclusivefile.h"
#include "platform/fileattr.h"
#include "platform/localtime.h"
#include "platform/messageport.h"
#include "platform/programstate.h"
#include "schedule/calendar.h"
#include "schedule/scanformat.h"
#include "schedule/schedule.h"
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
    if (keepOpen && file.GetLength() <= kMaxFileReadBytes) {
        // The rewrite copies the lines whole, so take the text to its end, not just the first
        // buffer's worth. A file larger than any schedule needs is read as every reader reads it.
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

// Line 1: mode, hour, minute and the mode's details (the text after the third semicolon up to the first
// blank, at most 63 characters). Places not read keep their values.
void ParseLine1(const QString& line, int& mode, int& hour, int& minute, QString& spec)
{
    ScanFormat(line, u"%d;%d;%d;%s", { &mode, &hour, &minute }, &spec, kMaxSpecLength);
}

// Line 2: the stored trigger. Its hour and minute replace line 1's, except where they only differ
// because the set time did not exist on that day (the spring change moved it to the first valid
// time): the schedule keeps its set time for the triggers after that one.
void ParseLine2(const QString& line, int& year, int& month, int& day, int& hour, int& minute)
{
    int storedHour = hour, storedMinute = minute;
    ScanFormat(line, u"%d-%d-%d,%d,%d", { &year, &month, &day, &storedHour, &storedMinute });
    if (storedHour == hour && storedMinute == minute)
        return;
    qint64 stored, set;
    if (IsBuildableTime(year, month, day, storedHour, storedMinute) && IsBuildableTime(year, month, day, hour, minute)
        && LocalWallTime(year, month, day, storedHour, storedMinute, stored)
        && LocalWallTime(year, month, day, hour, minute, set) && stored == set)
        return;
    hour = storedHour;
    minute = storedMinute;
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

int ParseNumber(const QString& line, int initial)
{
    int value = initial;
    ScanFormat(line, u"%d", { &value });
    return value;
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
    if (mode == SCHED_NONE) {
        for (const QString& line : { QStringLiteral("-1;0;0;\r\n"), QStringLiteral("0\r\n"),
                                     QStringLiteral("0\r\n"), QStringLiteral("0") })
            WriteUnicodeText(file, line);
    } else {
        bool ok = true;
        QString error;
        const qint64 next = ComputeNextTrigger(mode, spec, hour, minute, weekend ? 1 : 0, ok, error);
        LocalTime lt;
        if (ok && !ToLocalTime(next, lt)) {
            ok = false;
            error = QStringLiteral("矫正时间发生错误，请注意格式要求！");
        }
        if (!ok) {
            // The old schedule goes too: the file is removed before the message box runs. Only a
            // file that was there when opened (and so is held) is removed.
            file.Remove();
            ShowMessage(FormatMessage(kMsgComputeFailed, { folder, error }));
            return false;
        }
        const QString semicolon = QStringLiteral(";");
        WriteUnicodeText(file, QString::number(mode) + semicolon + QString::number(hour) + semicolon
                                   + QString::number(minute) + semicolon + spec + kCrLf);
        WriteUnicodeText(file, QStringLiteral("%1-%2-%3,%4,%5\r\n")
                                   .arg(lt.year).arg(lt.month).arg(lt.day).arg(lt.hour).arg(lt.minute));
        WriteUnicodeText(file, QString::number(count) + kCrLf);
        WriteUnicodeText(file, weekend ? QStringLiteral("1") : QStringLiteral("0"));
    }
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
    switch (LoadSchedule(SchedulePath(folder), kMsgDamagedRead, lines)) {
    case Load::Failed: return false;
    case Load::NoFile:
        mode = SCHED_NONE;
        spec.clear();
        hour = minute = count = 0;
        weekend = false;
        return true;
    case Load::Lines: break;
    }
    QString readSpec;
    ParseLine1(lines[0], mode, hour, minute, readSpec);
    if (mode == SCHED_NONE) {
        spec.clear();
        hour = minute = count = 0;
        weekend = false;
        return true;
    }
    spec = readSpec;
    count = ParseNumber(lines[2], 0);
    weekend = ParseNumber(lines[3], 0) != 0;
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
    int mode = SCHED_NONE, hour = 0, minute = 0;
    QString spec;
    ParseLine1(lines[0], mode, hour, minute, spec);
    if (mode == SCHED_NONE) {
        schedText.clear();
        nextText.clear();
        return true;
    }
    int year = 0, month = 0, day = 0;
    ParseLine2(lines[1], year, month, day, hour, minute);
    if (ParseNumber(lines[2], -1) == 0)
        nextText = QStringLiteral("已停止");
    else
        nextText = Text().Num(year).Put(u'-').Num(month).Put(u'-').Num(day).Put(u' ').Num2(hour).Put(u':').Num2(minute).Take();

    int a = 0, b = 0, c = 0, n = 0;
    switch (mode) {
    case SCHED_YEARLY:
        ScanFormat(spec, u"%d-%d", { &a, &b });
        schedText = Text().Put(u"每年").Num(a).Put(u"月").Num(b).Put(u"日").Num(hour).Put(u"点").Num(minute)
                        .Put(u"分触发").Take();
        break;
    case SCHED_MONTHLY:
        ScanFormat(spec, u"%d", { &a });
        schedText = Text().Put(u"每月").Num(a).Put(u"日").Num(hour).Put(u"点").Num(minute).Put(u"分触发").Take();
        break;
    case SCHED_EVERY_N_DAYS:
        ScanFormat(spec, u"%d-%d-%d,%d", { &a, &b, &c, &n });
        schedText = Text().Num(a).Put(u"年").Num(b).Put(u"月").Num(c).Put(u"日起，每").Num(n).Put(u"天").Num(hour)
                        .Put(u"点").Num(minute).Put(u"分").Take();
        break;
    case SCHED_EVERY_N_MONTHS:
        ScanFormat(spec, u"%d-%d-%d,%d", { &a, &b, &c, &n });
        schedText = Text().Num(a).Put(u"年").Num(b).Put(u"月").Num(c).Put(u"日起，每").Num(n).Put(u"个月")
                        .Num(hour).Put(u"点").Num(minute).Put(u"分").Take();
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
    int mode = SCHED_NONE, hour = 0, minute = 0;
    QString spec;
    ParseLine1(lines[0], mode, hour, minute, spec);
    if (mode == SCHED_NONE)
        return false;
    int count = ParseNumber(lines[2], 0);
    if (count == 0)
        return false;
    const int weekend = ParseNumber(lines[3], 0);
    int year = 0, month = 0, day = 0;
    ParseLine2(lines[1], year, month, day, hour, minute);

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
    if (count != -1 && count != std::numeric_limits<int>::min())
        --count;
    return WriteScheduleFile(folder, mode, hour, minute, spec, count, weekend != 0);
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
    TruncateFile(file);
    WriteUnicodeText(file, lines[0] + kCrLf);
    WriteUnicodeText(file, lines[1] + kCrLf);
    WriteUnicodeText(file, QStringLiteral("0\r\n"));
    WriteUnicodeText(file, lines[3]);
    return file.Close();
}

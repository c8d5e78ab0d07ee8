#include "platform/exclusivefile.h"
#include "platform/fileattr.h"
#include "platform/filestamp.h"
#include "platform/localtime.h"
#include "platform/messageport.h"
#include "platform/programstate.h"
#include "schedule/calendar.h"
#include "schedule/schedule.h"
#include "schedule/schedulerecord.h"
#include "store/desc.h"
#include "store/textfile.h"

#include <charconv>
#include <chrono>
#include <limits>
#include <thread>

namespace {

const QString kMsgOpenFailed = QStringLiteral("处理定时错误，%s打开失败！");
const QString kMsgCreateFailed = QStringLiteral("%s创建失败，请检查目录是否有写权限！");
const QString kMsgComputeFailed = QStringLiteral("%s初始化发生错误，已自动清理！%s");
const QString kMsgComputeFailedKept = QStringLiteral("%s初始化发生错误，且无法自动清理！%s");
const QString kMsgClockOutOfRange = QStringLiteral("%s初始化发生错误，系统时间超出范围，定时未保存！");

// A reader's damage message, once for a removed file and once for one that could not be removed.
struct DamageTexts
{
    QString removed;
    QString kept;
};
const DamageTexts kDamagedRead { QStringLiteral("获取定时信息错误，文件%s内容异常，已自动清理！"),
                                 QStringLiteral("获取定时信息错误，文件%s内容异常，且无法自动清理！") };
const DamageTexts kDamagedDue { QStringLiteral("处理定时错误，文件%s内容异常，已自动清理！"),
                                QStringLiteral("处理定时错误，文件%s内容异常，且无法自动清理！") };

std::function<void()> g_damageRecheckPause;

void Report(ScheduleFault* fault, ScheduleFault what)
{
    if (fault)
        *fault = what;
}

const QString kCrLf = QStringLiteral("\r\n");

enum class Load { Lines, NoFile, Failed };

// The text as a reader takes it, from the start: the usual capacity, or for a rewrite, which copies
// the lines whole, all of it.
QString ReadScheduleText(CFile& file, bool whole)
{
    file.Seek(0);
    QString text = ReadUnicodeText(file);
    // A file larger than any schedule needs is read as every reader reads it: its first units.
    whole = whole && file.GetLength() <= kMaxFileReadBytes;
    while (whole && text.size() % kTextCapacity == 0 && !text.isEmpty()) {
        const QString more = ReadUnicodeText(file);
        text += more;
        if (more.isEmpty())
            break;
    }
    return text;
}

// The second look at a file that read as damaged (its first text is firstText). Lines when it has
// been written whole meanwhile; otherwise it is removed, with the reader's message, only when it
// is still the same file, unchanged and still damaged, and left alone without a word when it is
// changing.
Load ConfirmDamaged(CFile& file, const QString& path, const QString& firstText, bool whole, QStringList& lines,
                    const DamageTexts& texts, ScheduleFault* fault)
{
    if (!CanRemoveFrom(path)) {
        // Nothing to wait for: it could not be removed however it reads.
        file.Abort();
        ShowMessage(FormatMessage(texts.kept, { path }));
        Report(fault, ScheduleFault::NotRemoved);
        return Load::Failed;
    }
    FileStamp before, after;
    const bool stamped = GetFileStamp(path, before);
    if (g_damageRecheckPause)
        g_damageRecheckPause();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(kDamageRecheckMs));
    const QString text = ReadScheduleText(file, whole);
    if (text != firstText) {
        SplitLines(text, lines);
        if (lines.size() >= 3)
            return Load::Lines;
    }
    if (text != firstText || !stamped || !GetFileStamp(path, after) || after != before) {
        file.Abort();
        Report(fault, ScheduleFault::Changing);
        return Load::Failed;
    }
    // Removed while still held, so a file another instance writes meanwhile is not lost.
    const bool removed = file.Remove() || !PathExists(path);
    ShowMessage(FormatMessage(removed ? texts.removed : texts.kept, { path }));
    Report(fault, removed ? ScheduleFault::Removed : ScheduleFault::NotRemoved);
    return Load::Failed;
}

} // namespace

bool OpenScheduleFile(const QString& folder, CFile& file, CFile::Mode mode, QString& path)
{
    // The program's spelling is opened first, so a folder that has it costs no look at the others.
    path = JoinPath(folder, kTimerFileName);
    if (file.Open(path, mode))
        return true;
    if (PathExists(path))
        return false;
    const QString found = FindEntryPath(folder, kTimerFileName);
    if (found == path)
        return false;
    path = found;
    return file.Open(path, mode);
}

namespace {

// The steps every reader of a schedule file begins with. With keepOpen the file is opened for
// rewriting, read whole and left open in it; otherwise it is read to the usual capacity and closed.
// A file of fewer than three lines is damaged (see ConfirmDamaged); three lines gain a fourth "0".
// stamp, when given, receives which file was read.
Load LoadSchedule(const QString& folder, const DamageTexts& damage, QStringList& lines, ScheduleFault* fault,
                  CFile* keepOpen = nullptr, FileStamp* stamp = nullptr)
{
    CFile local;
    CFile& file = keepOpen ? *keepOpen : local;
    const CFile::Mode mode = keepOpen ? CFile::modeReadWrite : CFile::modeRead;
    QString path;
    if (!OpenScheduleFile(folder, file, mode, path)) {
        if (!PathExists(path))
            return Load::NoFile;
        ShowMessage(FormatMessage(kMsgOpenFailed, { path }));
        return Load::Failed;
    }
    const QString text = ReadScheduleText(file, keepOpen != nullptr);
    SplitLines(text, lines);
    if (lines.size() < 3) {
        const Load second = ConfirmDamaged(file, path, text, keepOpen != nullptr, lines, damage, fault);
        if (second != Load::Lines)
            return second;
    }
    // Which file was read, taken while it is still held: no writer can put another in its place.
    if (stamp && !GetFileStamp(path, *stamp))
        *stamp = FileStamp();
    if (!keepOpen)
        file.Close();
    if (lines.size() == 3)
        lines.append(QStringLiteral("0"));
    return Load::Lines;
}

// The schedule file to write: the one found, whatever the case of its name; a new one gets
// kTimerFileName.
QString SchedulePath(const QString& folder)
{
    return FindEntryPath(folder, kTimerFileName);
}

// Builds a list text piece by piece in a buffer on the stack; the texts are formed for every row
// of every load, where a chain of QString::arg calls costs more than reading the file, and each is
// then kept by its row for as long as the list shows it, so it is allocated once, at its size.
// Numbers come out as arg() writes them.
class Text
{
public:
    Text& Put(QStringView piece)
    {
        for (const QChar c : piece)
            Put(c.unicode());
        return *this;
    }
    Text& Put(char16_t c)
    {
        if (m_size == kCapacity)
            Spill();
        m_buffer[m_size++] = c;
        return *this;
    }
    Text& Num(int n) { return Digits(n, false); }
    // Two places at least, a leading zero before 0 to 9, as arg(n, 2, 10, u'0').
    Text& Num2(int n) { return Digits(n, true); }
    QString Take()
    {
        if (m_spilled.isEmpty())
            return QString(reinterpret_cast<const QChar*>(m_buffer), m_size); // allocated at its size
        Spill();
        return std::move(m_spilled);
    }

private:
    static constexpr qsizetype kCapacity = 64; // more than any list text with numbers of 32 bits
    void Spill()
    {
        m_spilled.append(QStringView(m_buffer, m_size));
        m_size = 0;
    }
    Text& Digits(int n, bool two)
    {
        char buffer[16];
        char* p = buffer;
        if (two && n >= 0 && n < 10)
            *p++ = '0';
        p = std::to_chars(p, buffer + sizeof buffer, n).ptr;
        for (const char* c = buffer; c < p; ++c)
            Put(char16_t(*c));
        return *this;
    }
    char16_t m_buffer[kCapacity];
    qsizetype m_size = 0;
    QString m_spilled; // what did not fit, for a text longer than any the list forms
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

bool RecordIsDue(const ScheduleRecord& record, qint64 now)
{
    if (record.mode == SCHED_NONE || record.count == 0)
        return false;
    // The stored trigger as written. One that cannot form a time (edited by hand: a bad date, an
    // hour or a minute out of range) counts as due, so the schedule fires once and its rewrite
    // stores a proper next trigger.
    const StoredTrigger& n = record.next;
    const bool inRange = IsBuildableTime(n.year, n.month, n.day, n.hour, n.minute);
    // Most schedules lie days ahead. The instant a wall-clock time stands for is within a day of
    // that time read as UTC in every zone, so two days settle it without the platform conversion,
    // which re-reads the zone file on each call and would cost more than reading the file did.
    if (inRange && WallClockSeconds(n.year, n.month, n.day, n.hour, n.minute) - kZoneSlack > now)
        return false;
    qint64 t = 0;
    return !(inRange && LocalWallTime(n.year, n.month, n.day, n.hour, n.minute, t) && t > now);
}

void SetDamageRecheckPause(std::function<void()> pause)
{
    g_damageRecheckPause = std::move(pause);
}

namespace {

// WriteScheduleFile; with read, only while the file is still the one read (another instance of
// the program may have rewritten it since): otherwise nothing is written or said.
bool WriteSchedule(const QString& folder, const ScheduleRecord& wanted, ScheduleFault* fault, const FileStamp* read,
                   ScheduleRecord* stored = nullptr)
{
    const QString path = SchedulePath(folder);
    CFile file;
    if (!file.Open(path, CFile::modeCreate)) {
        ShowMessage(FormatMessage(kMsgCreateFailed, { path }));
        return false;
    }
    FileStamp now;
    if (read && !(GetFileStamp(path, now) && now == *read)) {
        file.Abort();
        Report(fault, ScheduleFault::Changing);
        return false;
    }
    TruncateFile(file);
    ScheduleRecord record = wanted;
    record.next = {};
    record.weekend = wanted.weekend != 0 ? 1 : 0;
    if (record.mode != SCHED_NONE) {
        NextTrigger next = ComputeNext(record.mode, ParseScheduleSpec(record.mode, record.spec), record.hour,
                                       record.minute, record.weekend);
        LocalTime lt;
        if (next.ok && !ToLocalTime(next.time, lt))
            next = { g_tNow, false, QStringLiteral("矫正时间发生错误，请注意格式要求！") };
        if (!next.ok && !ClockCanCarryTriggers()) {
            // The clock is at fault, not the schedule: the old file stays as it was.
            file.Abort();
            ShowMessage(FormatMessage(kMsgClockOutOfRange, { folder }));
            Report(fault, ScheduleFault::ClockOutOfRange);
            return false;
        }
        if (!next.ok) {
            // The message comes first, the file still held through it; it claims the clean-up
            // only where the folder lets the file go.
            const bool removable = CanRemoveFrom(path);
            ShowMessage(FormatMessage(removable ? kMsgComputeFailed : kMsgComputeFailedKept, { folder, next.error }));
            // Only a file that was there when opened is removed; a new one was never stored.
            const bool removed = removable && (file.Remove() || !PathExists(path));
            file.Abort();
            Report(fault, removed ? ScheduleFault::Removed : ScheduleFault::NotRemoved);
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
    if (stored)
        *stored = record;
    return true;
}

} // namespace

bool WriteScheduleFile(const QString& folder, const ScheduleRecord& record, ScheduleFault* fault)
{
    return WriteSchedule(folder, record, fault, nullptr);
}

bool ReadScheduleForEdit(const QString& folder, ScheduleRecord& record, ScheduleFault* fault)
{
    QStringList lines;
    ScheduleRecord read { record.mode, record.hour, record.minute, QString(), {}, 0, 0 };
    switch (LoadSchedule(folder, kDamagedRead, lines, fault)) {
    case Load::Failed: return false;
    case Load::NoFile: read.mode = SCHED_NONE; break;
    case Load::Lines: read.Decode(lines); break;
    }
    if (read.mode == SCHED_NONE) {
        record = ScheduleRecord();
        return true;
    }
    read.weekend = read.weekend != 0 ? 1 : 0;
    record = read;
    return true;
}

namespace {

// A stored trigger as the list shows it: 2024-9-5 09:30.
QString TriggerText(const StoredTrigger& t)
{
    return Text().Num(t.year).Put(u'-').Num(t.month).Put(u'-').Num(t.day).Put(u' ').Num2(t.hour).Put(u':')
        .Num2(t.minute).Take();
}

} // namespace

void ScheduleTexts(const ScheduleRecord& record, QString& schedText, QString& nextText)
{
    if (record.mode == SCHED_NONE) {
        schedText.clear();
        nextText.clear();
        return;
    }
    // The next trigger as stored, at the time it fires (on the day of the spring change that can
    // differ from the set time the schedule text shows).
    const StoredTrigger& next = record.next;
    if (record.count == 0)
        nextText = QStringLiteral("已停止");
    else
        nextText = TriggerText(next);

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
}

bool GetScheduleTexts(QString folder, QString& schedText, QString& nextText, ScheduleFault* fault)
{
    QStringList lines;
    switch (LoadSchedule(folder, kDamagedRead, lines, fault)) {
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
    ScheduleTexts(record, schedText, nextText);
    return true;
}

namespace {

// The procedure after its load steps, on the record read from the file whose stamp is read.
bool FireRecord(const QString& folder, const ScheduleRecord& record, const FileStamp& read, ScheduleFault* fault,
                QString* dueText, ScheduleRecord* stored)
{
    if (!RecordIsDue(record, g_tNow))
        return false;
    // Due, but a clock beyond the years a trigger can be built in could only lead the rewrite to
    // delete a sound schedule: fire nothing until the clock is right.
    if (!ClockCanCarryTriggers()) {
        Report(fault, ScheduleFault::ClockOutOfRange);
        return false;
    }

    if (dueText)
        *dueText = TriggerText(record.next);
    int hour, minute;
    record.TimeOfDay(hour, minute);
    // Counts below -1 stay without limit; the lowest one must not wrap round to a positive count.
    int count = record.count;
    if (count != -1 && count != std::numeric_limits<int>::min())
        --count;
    // Fired only when the file is still the one read: a second instance of the program that read the
    // same due trigger and wrote first has fired it.
    ScheduleRecord next = record;
    next.hour = hour;
    next.minute = minute;
    next.count = count;
    return WriteSchedule(folder, next, fault, &read, stored);
}

} // namespace

bool ProcessDueSchedule(QString folder, ScheduleFault* fault, QString* dueText)
{
    QStringList lines;
    FileStamp read;
    if (LoadSchedule(folder, kDamagedDue, lines, fault, nullptr, &read) != Load::Lines)
        return false;
    ScheduleRecord record;
    record.Decode(lines);
    return FireRecord(folder, record, read, fault, dueText, nullptr);
}

bool ProcessReadSchedule(const QString& folder, const ScheduleRead& read, QString& schedText, QString& nextText,
                         ScheduleFault* fault, QString* dueText)
{
    ScheduleRecord stored;
    if (!FireRecord(folder, read.record, read.stamp, fault, dueText, &stored))
        return false;
    // The texts a read of the file just written gives, without reading it: the record goes through
    // the file's own codec, so they are the same to the character.
    QStringList lines;
    SplitLines(stored.Encode().join(QString()), lines);
    ScheduleRecord reread;
    reread.count = -1;
    reread.Decode(lines);
    ScheduleTexts(reread, schedText, nextText);
    return true;
}

bool StopSchedule(QString folder, ScheduleFault* fault)
{
    CFile file;
    QStringList lines;
    switch (LoadSchedule(folder, kDamagedRead, lines, fault, &file)) {
    case Load::Failed: return false;
    case Load::NoFile: return true; // nothing to stop, and nothing is created
    case Load::Lines: break;
    }
    // Lines 1, 2 and 4 as they stand, unparsed; line 3 stops it.
    TruncateFile(file);
    WritePieces(file, { lines[0] + kCrLf, lines[1] + kCrLf, QStringLiteral("0\r\n"), lines[3] });
    return file.Close();
}

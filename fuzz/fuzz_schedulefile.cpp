// Every reader of the schedule file on a file of any bytes, at any "now": it answers with its
// messages, deletes the file only when it is damaged (fewer than three lines) or its next
// trigger cannot be computed, and otherwise leaves it as it was or rewrites it whole.
#include "fuzzsupport.h"
#include "platform/localtime.h"
#include "platform/posixfilesystem.h"
#include "platform/programstate.h"
#include "schedule/schedule.h"
#include "schedule/schedulerecord.h"
#include "store/desc.h"
#include "store/textfile.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The text after the mark to the first zero unit, all of it or only the readers' capacity.
QString Units(const QByteArray& bytes, qsizetype limit)
{
    QString text;
    for (qsizetype at = 2; at < bytes.size() && text.size() < limit; at += 2) {
        const unsigned low = static_cast<unsigned char>(bytes[at]);
        const unsigned high = at + 1 < bytes.size() ? static_cast<unsigned char>(bytes[at + 1]) : 0u;
        if ((low | high) == 0)
            break;
        text.append(QChar(char16_t(low | high << 8)));
    }
    return text;
}

QByteArray Utf16(const QString& text)
{
    return QByteArray("\xFF\xFE", 2) + EncodeUtf16Le(text);
}

struct Run
{
    bool result = false;
    bool exists = false;
    QByteArray after;
    QStringList messages;
};

enum Layout { PlainFile, FolderInstead, HeldByOther };

template <typename Reader>
Run RunReader(const QString& folder, const QByteArray& bytes, Layout layout, Reader reader)
{
    const QString path = JoinPath(folder, kTimerFileName);
    QDir(path).removeRecursively();
    QFile::remove(path);
    int held = -1;
    if (layout == FolderInstead) {
        FUZZ_CHECK(QDir().mkdir(path));
    } else {
        PutBytes(path, bytes);
        if (layout == HeldByOther) {
            held = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            FUZZ_CHECK(held >= 0 && ::flock(held, LOCK_EX | LOCK_NB) == 0);
        }
    }
    Run run;
    {
        RecordingMessagePort port;
        run.result = reader(folder);
        run.messages = port.messages + port.questions;
    }
    if (held >= 0)
        ::close(held);
    if (layout == FolderInstead) {
        run.exists = QFileInfo(path).isDir();
        return run;
    }
    run.after = GetBytes(path, run.exists);
    return run;
}

// A file that is there but cannot be opened: one message, nothing changed.
void CheckRefusedOpen(const Run& run, const QString& path, bool mayBeTrue)
{
    FUZZ_CHECK(!run.result || mayBeTrue);
    FUZZ_CHECK(run.exists);
    FUZZ_CHECK(run.messages == QStringList { QStringLiteral("处理定时错误，%1打开失败！").arg(path) });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A zone with daylight saving, so both changes of the clock are reached.
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    // Nothing else writes the fuzzer's files: no pause before a damaged one is removed.
    SetDamageRecheckPause([] {});
    // A held file fails at once: waiting half a second for it on every input would slow the run
    // to a crawl and trip the per-input time limit.
    static PosixFileSystem noWait;
    noWait.SetLockWait(0);
    SetFileSystem(&noWait);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t flags = input.TakeByte();
    // Now anywhere from about the year 900 to 6300, beyond what the platform's dates reach.
    const std::int64_t raw = input.TakeInt64();
    g_tNow = static_cast<qint64>(static_cast<std::uint64_t>(raw) % (std::uint64_t(1) << 37)) - (qint64(1) << 35);
    const QByteArray bytes = input.Rest();
    const Layout layout = (flags & 3) == 1 ? FolderInstead : (flags & 3) == 2 ? HeldByOther : PlainFile;

    FuzzFolder folder;
    const QString path = JoinPath(folder.Path(), kTimerFileName);
    const QString damagedRead = QStringLiteral("获取定时信息错误，文件%1内容异常，已自动清理！").arg(path);
    const QString damagedDue = QStringLiteral("处理定时错误，文件%1内容异常，已自动清理！").arg(path);
    const QString computeFailed = QStringLiteral("%1初始化发生错误，已自动清理！").arg(folder.Path());

    QStringList readLines, allLines;
    SplitLines(Units(bytes, kTextCapacity), readLines);
    SplitLines(Units(bytes, bytes.size()), allLines);
    const bool damaged = readLines.size() < 3;

    // The list texts and the reading for the settings dialog: unchanged, or deleted as damaged.
    QString schedText = QStringLiteral("kept"), nextText = QStringLiteral("kept");
    const Run texts = RunReader(folder.Path(), bytes, layout, [&](const QString& f) {
        return GetScheduleTexts(f, schedText, nextText);
    });
    ScheduleRecord edited { -7, -7, -7, QStringLiteral("kept"), {}, -7, 1 };
    const Run edit = RunReader(folder.Path(), bytes, layout, [&](const QString& f) {
        return ReadScheduleForEdit(f, edited);
    });
    const Run due = RunReader(folder.Path(), bytes, layout, [](const QString& f) { return ProcessDueSchedule(f); });
    const Run stop = RunReader(folder.Path(), bytes, layout, [](const QString& f) { return StopSchedule(f); });

    if (layout != PlainFile) {
        CheckRefusedOpen(texts, path, false);
        CheckRefusedOpen(edit, path, false);
        CheckRefusedOpen(due, path, false);
        CheckRefusedOpen(stop, path, false);
        if (layout == HeldByOther) {
            for (const Run* run : { &texts, &edit, &due, &stop })
                FUZZ_CHECK(run->after == bytes);
        }
        FUZZ_CHECK(schedText == QStringLiteral("kept") && nextText == QStringLiteral("kept"));
        return 0;
    }

    for (const Run* run : { &texts, &edit }) {
        if (damaged) {
            FUZZ_CHECK(!run->result && !run->exists);
            FUZZ_CHECK(run->messages == QStringList { damagedRead });
        } else {
            FUZZ_CHECK(run->result && run->exists && run->after == bytes);
            FUZZ_CHECK(run->messages.isEmpty());
        }
    }
    if (damaged)
        FUZZ_CHECK(schedText == QStringLiteral("kept") && nextText == QStringLiteral("kept"));
    if (!damaged && edited.mode != SCHED_NONE) {
        FUZZ_CHECK(edited.spec.size() <= 63);
        FUZZ_CHECK(!edited.spec.contains(QLatin1Char(' ')));
    }

    // Advancing: a damaged file or one whose next trigger cannot be computed goes, with its
    // message; a due schedule is rewritten whole; anything else stays byte for byte.
    if (damaged) {
        FUZZ_CHECK(!due.result && !due.exists && due.messages == QStringList { damagedDue });
    } else if (due.result) {
        FUZZ_CHECK(due.exists && due.messages.isEmpty());
        QStringList lines;
        SplitLines(Units(due.after, kTextCapacity), lines);
        FUZZ_CHECK(lines.size() == 4);
        FUZZ_CHECK(due.after == Utf16(lines.join(kCrLf)));
    } else if (due.exists) {
        FUZZ_CHECK(due.after == bytes && due.messages.isEmpty());
    } else {
        FUZZ_CHECK(due.messages.size() == 1 && due.messages[0].startsWith(computeFailed));
    }

    // Stopping: lines 1, 2 and 4 as they stand (a missing fourth is "0"), line 3 "0".
    if (allLines.size() < 3) {
        FUZZ_CHECK(!stop.result && !stop.exists && stop.messages == QStringList { damagedRead });
    } else {
        FUZZ_CHECK(stop.result && stop.exists && stop.messages.isEmpty());
        const QString expected = allLines[0] + kCrLf + allLines[1] + kCrLf + QStringLiteral("0\r\n")
            + (allLines.size() > 3 ? allLines[3] : QStringLiteral("0"));
        FUZZ_CHECK(stop.after == Utf16(expected));
    }
    return 0;
}

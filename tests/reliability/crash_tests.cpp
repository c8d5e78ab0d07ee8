// A writer killed at random moments leaves every file whole: the old version or the new one.
#include "platform/localtime.h"
#include "platform/programstate.h"
#include "schedtest.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSet>

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

[[noreturn]] void WriteForever(const QStringList& folders, const QStringList& descs,
                               const QList<ScheduleRecord>& schedules, unsigned seed)
{
    // Any message in the child means an operation failed; the child then stops with its own code.
    RecordingMessagePort port;
    port.onMessage = port.onQuestion = [](const QString&) { ::_exit(3); };
    std::minstd_rand random(seed);
    for (;;) {
        const QString& folder = folders[random() % folders.size()];
        switch (random() % 3) {
        case 0: WriteDirDesc(folder, descs[random() % descs.size()]); break;
        case 1: {
            WriteScheduleFile(folder, schedules[random() % schedules.size()]);
            break;
        }
        default: StopSchedule(folder); break;
        }
    }
}

// Hidden siblings that a killed writer left behind.
int LeftoverCount(const QString& folder)
{
    return int(QDir(folder).entryList({ QStringLiteral(".Quillbrook.*") }, QDir::Files | QDir::Hidden).size());
}

} // namespace

TEST(CrashSafety, KilledWriterLeavesEveryFileWholeAfterAThousandKills)
{
    ScopedTimeZone tz("Asia/Shanghai");
    MakeLocalTime(2024, 9, 20, 10, 0, 0, g_tNow);
    TempTree tree;

    const QStringList descs = {
        QString(),
        QStringLiteral("合同"),
        QStringLiteral("第一行\r\n第二行\r\n"),
        QString(1000, u'档'),
    };
    const QList<ScheduleRecord> schedules = {
        Schedule(SCHED_MONTHLY, 8, 30, QStringLiteral("31"), -1, true),
        Schedule(SCHED_YEARLY, 9, 0, QStringLiteral("2-29"), 3, true),
        Schedule(SCHED_EVERY_N_DAYS, 9, 5, QStringLiteral("2024-9-16,7"), 123456, false),
        Schedule(SCHED_EVERY_N_MONTHS, 18, 0, QStringLiteral("2024-1-31,1"), 0, false),
        Schedule(SCHED_NONE, 0, 0, QString(), 0, false),
    };

    // Every complete version a file can hold: each description, each schedule as written and as
    // stopped (stopping a stopped one changes nothing).
    RecordingMessagePort messages;
    QSet<QByteArray> descVersions, timerVersions;
    tree.MakeDir(QStringLiteral("scratch"));
    const QString scratch = tree.Path(QStringLiteral("scratch"));
    for (const QString& desc : descs) {
        ASSERT_TRUE(WriteDirDesc(scratch, desc));
        descVersions.insert(tree.ReadBytes(QStringLiteral("scratch/Quillbrook.desc")));
    }
    for (const ScheduleRecord& s : schedules) {
        ASSERT_TRUE(WriteScheduleFile(scratch, s));
        timerVersions.insert(tree.ReadBytes(QStringLiteral("scratch/Quillbrook.Timer")));
        ASSERT_TRUE(StopSchedule(scratch));
        timerVersions.insert(tree.ReadBytes(QStringLiteral("scratch/Quillbrook.Timer")));
    }
    ASSERT_TRUE(messages.messages.isEmpty());

    QStringList folders;
    for (int i = 0; i < 3; ++i) {
        const QString name = QStringLiteral("cat/doc%1").arg(i);
        tree.MakeDir(name);
        folders.append(tree.Path(name));
        ASSERT_TRUE(WriteDirDesc(folders.last(), descs[0]));
        ASSERT_TRUE(WriteScheduleFile(folders.last(), Schedule(SCHED_NONE, 0, 0, QString(), 0, false)));
    }

    std::minstd_rand random(20240920);
    QSet<QByteArray> seen;
    int torn = 0, missing = 0, kills = 0;
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < 1100; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            WriteForever(folders, descs, schedules, unsigned(random()));
        ::usleep(useconds_t(random() % 4000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the writer stopped by itself (an operation failed) in round " << round;
        ++kills;
        for (const QString& folder : folders) {
            const QString rel = QDir(tree.Root()).relativeFilePath(folder);
            for (const auto& [name, versions] : { std::pair { kDescFileName, &descVersions },
                                                  std::pair { kTimerFileName, &timerVersions } }) {
                const QString file = rel + u'/' + name;
                if (!tree.Exists(file)) {
                    ++missing;
                    ADD_FAILURE() << "round " << round << ": " << file.toStdString() << " is missing";
                    continue;
                }
                const QByteArray bytes = tree.ReadBytes(file);
                seen.insert(bytes);
                if (!versions->contains(bytes)) {
                    ++torn;
                    ADD_FAILURE() << "round " << round << ": " << file.toStdString() << " is torn ("
                                  << bytes.size() << " bytes)";
                }
            }
            // A killed writer leaves at most its one temporary file per target; the next writer of
            // that file removes it.
            EXPECT_LE(LeftoverCount(folder), 2) << "round " << round;
        }
        if (torn + missing > 5)
            break;
    }
    EXPECT_EQ(kills, 1100);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(missing, 0);
    // The writer got far enough between kills to leave many different versions behind.
    EXPECT_GE(seen.size(), 8);
    EXPECT_LT(timer.elapsed(), 45000);
    std::printf("%d kills in %lld ms: %d torn, %d missing, %lld versions seen\n", kills,
                static_cast<long long>(timer.elapsed()), torn, missing, static_cast<long long>(seen.size()));
}

// The list load on worker threads gives what the load on the window's thread gives: the same rows
// in the same order, the same texts, and the same messages in the same order.
#include "platform/fileattr.h"
#include "schedule/listload.h"
#include "schedule/rowtexts.h"
#include "schedule/schedule.h"
#include "store/desc.h"
#include "store/scan.h"
#include "faultfilesystem.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <optional>
#include <thread>

namespace {

const QString kDamaged = QStringLiteral("2;9;5;2024-9-16,7\r\n2024-9-23,9,5");

void Managed(const TempTree& tree, const QString& relative, const QString& schedule = QString())
{
    tree.MakeDir(relative);
    tree.WriteText(relative + u'/' + kDescFileName, QStringLiteral("描述 ") + relative);
    if (!schedule.isNull())
        tree.WriteText(relative + u'/' + kTimerFileName, schedule);
}

// Every kind of row and every message the load can show: rows with and without schedules, a
// damaged schedule file (removed, with a message), a held one (a message), and enumerations that
// stop at an entry whose attributes cannot be read, at both levels.
void Populate(const TempTree& tree)
{
    Managed(tree, QStringLiteral("A"), QStringLiteral("1;8;30;31\r\n2026-12-31,8,30\r\n-1\r\n1"));
    tree.MakeDir(QStringLiteral("A/sub"));
    tree.MakeDir(QStringLiteral("B/B1"));
    Managed(tree, QStringLiteral("B/B2"), QStringLiteral("3;18;0;2024-1-31,1\r\n2024-2-29,18,0\r\n0\r\n0"));
    for (const char* name : { "C/C1", "C/C2", "C/C3", "C/C4", "C/C5", "C/C6" })
        Managed(tree, QString::fromLatin1(name));
    tree.WriteText(QStringLiteral("C/C1/") + kTimerFileName, kDamaged);
    tree.WriteText(QStringLiteral("C/C2/") + kTimerFileName, QStringLiteral("-1;0;0;\r\n0\r\n0\r\n0"));
    tree.WriteText(QStringLiteral("C/C3/") + kTimerFileName, QStringLiteral("0;9;0;2-29\r\n2027-2-26,9,0\r\n3"));
    tree.WriteText(QStringLiteral("C/C4/") + kTimerFileName, QStringLiteral("1;8;30;31\r\n2026-12-31,8,30\r\n-1\r\n1"));
    tree.WriteText(QStringLiteral("C/C5/") + kTimerFileName, kDamaged);
    tree.MakeDir(QStringLiteral("D"));
    for (const char* name : { "E/bad", "E/E1", "G/bad", "G/G1", "G/G2" })
        tree.MakeDir(QString::fromLatin1(name));
    for (int i = 0; i < 60; ++i)
        Managed(tree, QStringLiteral("F/第%1号").arg(i), QStringLiteral("2;9;%1;2024-9-16,7\r\n2024-9-23,9,%1\r\n2\r\n0").arg(i));
}

struct Expected
{
    QStringList folders;
    QStringList scanMessages;
    std::vector<LoadedRow> rows;
};

// The load as the window's thread runs it today, one call after another.
Expected LoadInOrder(const QString& root)
{
    Expected out;
    RecordingMessagePort port;
    out.folders = CollectRowPaths(root);
    out.scanMessages = port.messages;
    for (const QString& folder : out.folders) {
        LoadedRow row;
        row.folder = folder;
        const qsizetype before = port.messages.size();
        ReadDirTexts(folder, row.desc, row.schedText, row.nextText);
        row.messages = port.messages.mid(before);
        out.rows.push_back(row);
    }
    return out;
}

void ExpectSameRows(const std::vector<LoadedRow>& rows, const Expected& expected)
{
    ASSERT_EQ(rows.size(), expected.rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const LoadedRow& a = rows[i];
        const LoadedRow& b = expected.rows[i];
        EXPECT_EQ(a.folder, b.folder) << i;
        EXPECT_EQ(a.desc, b.desc) << i;
        EXPECT_EQ(a.schedText, b.schedText) << i;
        EXPECT_EQ(a.nextText, b.nextText) << i;
        EXPECT_EQ(a.messages, b.messages) << i;
    }
}

class ListLoadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Populate(tree);
        held.emplace(tree.Path(QStringLiteral("C/C4/")) + kTimerFileName);
        ASSERT_TRUE(held->IsHeld());
        fs.emplace();
        fs->FailOnPath(FsCall::Attributes, QStringLiteral("bad"));
        expected = LoadInOrder(tree.Root());
        Restore();
    }
    void TearDown() override { fs.reset(); }
    // The damaged files the last load removed.
    void Restore()
    {
        for (const char* name : { "C/C1/", "C/C5/" })
            tree.WriteText(QString::fromLatin1(name) + kTimerFileName, kDamaged);
    }

    ScopedTimeZone zone { "Asia/Shanghai" };
    TempTree tree;
    std::optional<FaultFileSystem> fs; // the entries named "bad" cannot be queried
    std::optional<HeldFile> held; // as another instance holds a file
    Expected expected;
};

} // namespace

TEST_F(ListLoadTest, TheSameRowsTextsAndMessagesInTheSameOrder)
{
    ASSERT_EQ(expected.scanMessages.size(), 2); // E and G stop at "bad"
    int withMessages = 0;
    for (const LoadedRow& row : expected.rows)
        withMessages += !row.messages.isEmpty();
    ASSERT_EQ(withMessages, 3); // two damaged files and a held one

    RecordingMessagePort shown;
    for (const int threads : { 1, 4, kFileWorkers }) {
        const ScannedRows scan = ScanRowsParallel(tree.Root(), threads);
        EXPECT_EQ(scan.folders, expected.folders);
        EXPECT_EQ(scan.messages, expected.scanMessages);
        ExpectSameRows(ReadRowsParallel(scan.folders, threads), expected);
        EXPECT_FALSE(tree.Exists(QStringLiteral("C/C1/") + kTimerFileName)); // removed as damaged
        Restore();
    }
    EXPECT_TRUE(shown.messages.isEmpty()); // gathered, never shown by the workers
}

TEST_F(ListLoadTest, TheJobHandsOutTheRowsInOrderUntilItIsOver)
{
    // The window's load keeps the rows' paths without the root; the texts must still be read from
    // the whole path, and each row's messages come with the right row.
    for (const qsizetype keepFrom : { qsizetype(0), tree.Root().size() }) {
        SCOPED_TRACE(keepFrom);
        Expected want = expected;
        for (LoadedRow& row : want.rows)
            row.folder = row.folder.mid(keepFrom);
        std::mutex mutex;
        std::condition_variable wake;
        int notes = 0;
        ListLoadJob job(tree.Root(), [&] {
            const std::lock_guard lock(mutex);
            ++notes;
            wake.notify_one();
        }, 4, kStuckItemMs, keepFrom);
        std::vector<LoadedRow> rows;
        QStringList scanMessages;
        int scannedTakes = 0;
        for (;;) {
            std::unique_lock lock(mutex);
            wake.wait(lock, [&] { return notes > 0; });
            notes = 0;
            lock.unlock();
            ListLoadJob::Ready ready = job.Take();
            if (!ready.scanned) {
                EXPECT_TRUE(ready.rows.empty());
                continue;
            }
            scannedTakes += !ready.scanMessages.isEmpty();
            scanMessages += ready.scanMessages;
            EXPECT_EQ(ready.rowCount, expected.folders.size());
            for (LoadedRow& row : ready.rows)
                rows.push_back(std::move(row));
            if (ready.finished)
                break;
        }
        EXPECT_EQ(scannedTakes, 1);
        EXPECT_EQ(scanMessages, expected.scanMessages);
        ExpectSameRows(rows, want);
        const ListLoadJob::Ready after = job.Take();
        EXPECT_TRUE(after.rows.empty());
        EXPECT_TRUE(after.scanMessages.isEmpty());
        EXPECT_TRUE(after.finished);
        Restore();
    }
}

TEST_F(ListLoadTest, AJobCancelledOrDroppedAtAnyPointStopsCleanly)
{
    for (int round = 0; round < 30; ++round) {
        {
            ListLoadJob job(tree.Root(), [] {}, 4);
            std::this_thread::sleep_for(std::chrono::microseconds(round * 100));
            if (round % 2)
                job.Cancel();
            // What was handed out is right as far as it goes.
            const ListLoadJob::Ready ready = job.Take();
            ASSERT_LE(ready.rows.size(), expected.rows.size());
            for (size_t i = 0; i < ready.rows.size(); ++i)
                EXPECT_EQ(ready.rows[i].folder, expected.rows[i].folder);
            // Dropped here, running or not: it waits for its workers.
        }
        Restore();
    }
}

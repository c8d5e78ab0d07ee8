#include "platform/messageport.h"
#include "platform/parallel.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

TEST(Parallel, EveryItemOnceOnBoundedThreadsAndCancelSkipsTheRest)
{
    constexpr qsizetype kItems = 2000;
    std::vector<std::atomic<int>> runs(kItems);
    std::mutex mutex;
    std::set<std::thread::id> threads;
    ParallelFor(kItems, 4, [&](qsizetype i) {
        ++runs[size_t(i)];
        const std::lock_guard lock(mutex);
        threads.insert(std::this_thread::get_id());
    });
    for (const std::atomic<int>& n : runs)
        ASSERT_EQ(n.load(), 1);
    EXPECT_LE(threads.size(), 4u);

    ParallelFor(0, 16, [](qsizetype) { FAIL(); });

    std::atomic<bool> cancel { false };
    std::atomic<int> done { 0 };
    ParallelFor(kItems, 3, [&](qsizetype i) {
        if (i == 10)
            cancel = true;
        ++done;
    }, &cancel);
    EXPECT_LT(done.load(), 20); // at most the items already taken when the flag went up
}

// The window's thread keeps its priority; every worker runs below it, so a window that calls
// ParallelFor, or waits for a BackgroundJob, is never kept waiting for the CPU by its own readers.
TEST(Parallel, WorkersRunBelowTheCallersPriority)
{
    const auto niceness = [] { return ::getpriority(PRIO_PROCESS, ::gettid()); };
    const int caller = niceness();
    ASSERT_LT(caller, 10);
    const std::thread::id self = std::this_thread::get_id();
    std::mutex mutex;
    std::vector<int> helpers;
    ParallelFor(64, 4, [&](qsizetype) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // so the helpers get items
        if (std::this_thread::get_id() == self)
            return;
        const int n = niceness();
        const std::lock_guard lock(mutex);
        helpers.push_back(n);
    });
    EXPECT_EQ(niceness(), caller);
    ASSERT_FALSE(helpers.empty());
    for (const int n : helpers)
        EXPECT_GE(n, 10);

    std::atomic<int> job { -100 };
    {
        BackgroundJob background([&](const std::atomic<bool>&) { job = niceness(); }, {});
    }
    EXPECT_GE(job.load(), 10);
    EXPECT_EQ(niceness(), caller);
}

// Items that wait (as reads on a file server do) bring in helpers up to the bound, and no further;
// items as slow that only use the CPU keep to two threads per core.
TEST(Parallel, OnlyItemsThatWaitBringInHelpersUpToTheBound)
{
    const auto distinct = [](const std::vector<std::thread::id>& ids) {
        return std::set<std::thread::id>(ids.begin(), ids.end()).size();
    };
    std::vector<std::thread::id> ids(400);
    std::atomic<int> running { 0 }, most { 0 };
    ParallelFor(400, 8, [&](qsizetype i) {
        const int now = ++running;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2 * kSlowItemUs));
        --running;
        ids[size_t(i)] = std::this_thread::get_id();
    });
    EXPECT_EQ(distinct(ids), 8u);
    EXPECT_LE(most.load(), 8);

    // Each thread writes its own slots only: no lock, so no thread sleeps on one.
    ids.assign(64, {});
    ParallelFor(64, 16, [&](qsizetype i) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(2 * kSlowItemUs);
        while (std::chrono::steady_clock::now() < until) {
        }
        ids[size_t(i)] = std::this_thread::get_id();
    });
    EXPECT_LE(distinct(ids), size_t(2 * std::max(1u, std::thread::hardware_concurrency())));
}

TEST(Parallel, InOrderProgressGrowsOnlyWithoutGaps)
{
    InOrderProgress progress(4);
    EXPECT_FALSE(progress.MarkDone(2));
    EXPECT_EQ(progress.DonePrefix(), 0);
    EXPECT_TRUE(progress.MarkDone(0));
    EXPECT_EQ(progress.DonePrefix(), 1);
    EXPECT_TRUE(progress.MarkDone(1));
    EXPECT_EQ(progress.DonePrefix(), 3); // 2 was waiting behind 1
    EXPECT_TRUE(progress.MarkDone(3));
    EXPECT_EQ(progress.DonePrefix(), 4);
}

TEST(Parallel, ThreadMessagePortTakesThatThreadsMessagesOnly)
{
    RecordingMessagePort shown;
    CollectingMessagePort gathered;
    std::thread worker([&] {
        const ThreadMessagePort scope(gathered);
        ShowMessage(QStringLiteral("worker"));
        EXPECT_FALSE(AskYesNo(QStringLiteral("question")));
    });
    worker.join();
    ShowMessage(QStringLiteral("window"));
    EXPECT_EQ(gathered.messages, (QStringList { QStringLiteral("worker"), QStringLiteral("question") }));
    EXPECT_EQ(shown.messages, QStringList { QStringLiteral("window") });

    {
        CollectingMessagePort inner;
        const ThreadMessagePort outer(gathered);
        {
            const ThreadMessagePort nested(inner);
            ShowMessage(QStringLiteral("inner"));
        }
        ShowMessage(QStringLiteral("outer")); // the previous port is back
        EXPECT_EQ(inner.messages, QStringList { QStringLiteral("inner") });
    }
    EXPECT_EQ(gathered.messages.last(), QStringLiteral("outer"));
    EXPECT_EQ(shown.messages.size(), 1);
}

TEST(Parallel, BackgroundJobRunsDoneOnceAndTheDestructorCancelsAndWaits)
{
    std::atomic<int> done { 0 };
    {
        BackgroundJob job([](const std::atomic<bool>&) {}, [&] { ++done; });
        while (!job.Finished())
            std::this_thread::yield();
    }
    EXPECT_EQ(done.load(), 1);

    std::atomic<bool> sawCancel { false };
    {
        BackgroundJob job([&](const std::atomic<bool>& cancel) {
            while (!cancel)
                std::this_thread::yield();
            sawCancel = true;
        }, [&] { ++done; });
    }
    EXPECT_TRUE(sawCancel.load());
    EXPECT_EQ(done.load(), 2);
}

TEST(ThreadWakeup, WakesFromManyThreadsRunTheHandlerOnTheMakersThreadForAllOfThem)
{
    int calls = 0;
    std::atomic<int> published { 0 };
    int seen = 0;
    std::thread::id where;
    ThreadWakeup wakeup([&] {
        ++calls;
        where = std::this_thread::get_id();
        seen = published.load(std::memory_order_relaxed);
    });
    std::vector<std::thread> workers;
    for (int t = 0; t < 8; ++t)
        workers.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                published.fetch_add(1, std::memory_order_relaxed);
                wakeup.Wake();
            }
        });
    for (std::thread& worker : workers)
        worker.join();
    QCoreApplication::processEvents();
    // Coalesced into one call that sees every wake before it; nothing is left pending.
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, 4000);
    EXPECT_EQ(where, std::this_thread::get_id());
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    wakeup.Wake();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 2);
}

#pragma once
// File work on worker threads. A tree on a file server answers each request after a network
// round trip; reading many files at once overlaps those waits, so the window's thread never waits
// for them. The system's own procedures (those that fire, write or show messages) stay on the
// window's thread; workers read, and gather what a read would show.
#include "platform/messageport.h"

#include <QString>
#include <QStringList>

class QSocketNotifier;

#include <atomic>
#include <condition_variable>
#include <memory>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Reads in flight at once: enough to cover a share's round trips, few enough for its server.
constexpr int kFileWorkers = 16;

// An item that takes longer than this and slept meanwhile has waited (on a file server, a disk):
// another thread helps. One that only waited for a core does not bring in another.
constexpr int kSlowItemUs = 1000;

// Runs work(i) for every i in [0, count) on up to threads threads, the calling thread being one
// of them, each taking the next i in turn; returns when every started item is done. Once cancel is
// set, the items not yet started are skipped. It begins with two threads per core and adds one
// each time an item waits: reads that wait on a file server overlap, while reads that only use
// the CPU do not crowd out the window's thread. Workers run at a lower priority than the window.
void ParallelFor(qsizetype count, int threads, const std::function<void(qsizetype)>& work,
                 const std::atomic<bool>* cancel = nullptr);

// Which of count items are done, and how many from the first on without a gap: results can be
// handed on in list order while later ones are still being worked on.
class InOrderProgress
{
public:
    explicit InOrderProgress(qsizetype count);
    // Marks item i done; true when the run of done items from the first grew by it. The writes
    // to item i's result before this call are seen by a thread that then reads DonePrefix.
    bool MarkDone(qsizetype i);
    qsizetype DonePrefix() const;

private:
    mutable std::mutex m_mutex;
    std::vector<char> m_done;
    qsizetype m_prefix = 0;
};

// How long an item may be worked on before those waiting for it go on without it: a folder on a
// share that stopped answering must not hold up every other folder.
constexpr int kStuckItemMs = 2000;

// Items worked on by threads that their owner may stop waiting for. A worker begins and finishes
// each item here; the owner looks at the items in order and passes over one that has been in work
// for longer than the bound (or, not begun, while no item has finished for that long). A result
// written before Finish is seen by the owner once Look says Done.
class ItemBoard
{
public:
    enum class Item : unsigned char { Waiting, Working, Done, PassedOver, Late };

    explicit ItemBoard(qsizetype count);
    qsizetype Count() const { return qsizetype(m_items.size()); }

    // Worker: false when the item was passed over before it began (leave it alone).
    bool Begin(qsizetype i);
    // Worker: false when the owner passed the item over meanwhile: its result came late. awaited,
    // when given, tells whether the owner last looked at this item: only then is it worth waking
    // the owner, as it takes the items in order.
    bool Finish(qsizetype i, bool* awaited = nullptr);
    // Worker: the item is about to do what must be seen (a write); from now on it is waited for
    // however long it takes. False when it was passed over already: then it must not go on.
    bool Commit(qsizetype i);

    // Owner: the item's state; one waited for longer than stuckMs becomes PassedOver.
    Item Look(qsizetype i, qint64 stuckMs);
    // Owner: the items that finished after they were passed over, each once.
    std::vector<qsizetype> TakeLate();
    // Owner: milliseconds until item i could be passed over (0: now); -1 when it will not be (it is
    // done, passed over, or committed), and only its worker's word moves it on.
    qint64 MsUntilStuck(qsizetype i, qint64 stuckMs) const;

private:
    static qint64 NowMs();
    mutable std::mutex m_mutex;
    std::vector<Item> m_items;
    std::vector<qint64> m_began;
    std::vector<char> m_lateTaken;
    std::vector<char> m_committed;
    qint64 m_lastFinished;
    qsizetype m_front = 0; // the item the owner last looked at
};

// Gathers the messages instead of showing them; a question is answered No (no file work asks).
class CollectingMessagePort final : public MessagePort
{
public:
    void ShowMessage(const QString& text) override { messages.append(text); }
    bool AskYesNo(const QString& text) override
    {
        messages.append(text);
        return false;
    }
    QStringList messages;
};

// Runs work on a thread of its own. work is given a flag that Cancel sets; done runs on that
// thread once work has returned, cancelled or not. The destructor cancels and waits, unless the
// job was let go (Detach): then the thread finishes on its own into whatever work and done hold,
// which must be nothing the owner still uses.
class BackgroundJob
{
public:
    BackgroundJob(std::function<void(const std::atomic<bool>& cancel)> work, std::function<void()> done);
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    void Cancel() { m_flags->cancel = true; }
    bool Cancelled() const { return m_flags->cancel; }
    // True once work has returned (and done has run).
    bool Finished() const { return m_flags->finished; }
    // Cancels and lets the thread go: the owner never waits for it, even when it is stuck in the
    // file system (a share that stopped answering).
    void Detach();
    // Jobs whose thread has not yet ended, let go or not (tests wait for none before they take
    // away what the threads use).
    static int Running();

private:
    struct Flags
    {
        std::atomic<bool> cancel { false };
        std::atomic<bool> finished { false };
    };
    std::shared_ptr<Flags> m_flags;
    std::thread m_thread;
};

// Wakes the thread that made it (the window's) from any other: Wake() is cheap and may be called
// often, and the handler then runs once on the maker's thread, from its event loop, for all the
// wakes before it. Workers touch no Qt object to do so, only an eventfd, whose write and read
// also order a worker's writes before the handler's reads for ThreadSanitizer.
class ThreadWakeup
{
public:
    explicit ThreadWakeup(std::function<void()> handler);
    ~ThreadWakeup();
    ThreadWakeup(const ThreadWakeup&) = delete;
    ThreadWakeup& operator=(const ThreadWakeup&) = delete;

    void Wake();
    // A Wake that stays safe to call after this object is gone (it then wakes nobody): for a
    // worker that may outlive its owner.
    std::function<void()> Waker() const;

private:
    struct Core;
    void Woken();

    std::shared_ptr<Core> m_core;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_handler;
};

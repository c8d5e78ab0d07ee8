#include "platform/parallel.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <system_error>

#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// File workers give way to the window's thread: on a local disk their reads are all CPU, and on
// a machine with few cores the window would otherwise wait for its turn.
constexpr int kWorkerNiceness = 10;

void YieldToTheWindow()
{
    // On Linux a nice value belongs to the one thread; threads it starts inherit it.
    const int now = ::getpriority(PRIO_PROCESS, ::gettid());
    if (now < kWorkerNiceness)
        ::setpriority(PRIO_PROCESS, ::gettid(), kWorkerNiceness);
}

// How often this thread has gone to sleep waiting for something. An item that took long
// without it was only kept from the CPU by other threads.
long VoluntaryWaits()
{
    rusage usage {};
    return ::getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nvcsw : 0;
}

} // namespace

void ParallelFor(qsizetype count, int threads, const std::function<void(qsizetype)>& work,
                 const std::atomic<bool>* cancel)
{
    const qsizetype most = std::min<qsizetype>(std::max(threads, 1), count);
    if (most <= 0)
        return;
    // Two per core to begin with: measured on a local tree, one per core left the load a third
    // slower, and sixteen made the window wait up to 125 ms for the CPU.
    const int initial = 2 * std::max(1, int(std::thread::hardware_concurrency()));
    std::atomic<qsizetype> next { 0 };
    std::mutex mutex; // guards helpers
    std::vector<std::thread> helpers;
    std::function<void()> run;
    // Adds a helper while there are items left and the bound allows one. Where the system
    // refuses another thread, the threads there are do the work.
    const auto grow = [&] {
        const std::lock_guard lock(mutex);
        if (qsizetype(helpers.size()) + 1 >= most || next >= count)
            return;
        try {
            helpers.emplace_back([&run] {
                YieldToTheWindow();
                run();
            });
        } catch (const std::system_error&) {
        }
    };
    run = [&] {
        // The waits are counted only after a slow item (a system call each time): a wait since the
        // last count is taken as that item's, since a fast item has no time to sleep in.
        long waitsSeen = VoluntaryWaits();
        for (qsizetype i = next++; i < count; i = next++) {
            if (cancel && *cancel)
                return;
            const auto began = std::chrono::steady_clock::now();
            work(i);
            if (std::chrono::steady_clock::now() - began > std::chrono::microseconds(kSlowItemUs)) {
                const long waits = VoluntaryWaits();
                if (waits != waitsSeen)
                    grow();
                waitsSeen = waits;
            }
        }
    };
    for (qsizetype i = 1; i < std::min<qsizetype>(most, initial); ++i)
        grow();
    run();
    // A helper adds its own helpers before it ends, so once every helper seen is joined there is
    // none left to come.
    for (size_t joined = 0;; ++joined) {
        std::thread helper;
        {
            const std::lock_guard lock(mutex);
            if (joined == helpers.size())
                break;
            helper = std::move(helpers[joined]);
        }
        helper.join();
    }
}

InOrderProgress::InOrderProgress(qsizetype count)
    : m_done(size_t(count), 0)
{
}

bool InOrderProgress::MarkDone(qsizetype i)
{
    const std::lock_guard lock(m_mutex);
    m_done[size_t(i)] = 1;
    const qsizetype before = m_prefix;
    while (m_prefix < qsizetype(m_done.size()) && m_done[size_t(m_prefix)])
        ++m_prefix;
    return m_prefix > before;
}

qsizetype InOrderProgress::DonePrefix() const
{
    const std::lock_guard lock(m_mutex);
    return m_prefix;
}

ItemBoard::ItemBoard(qsizetype count)
    : m_items(size_t(count), Item::Waiting)
    , m_began(size_t(count), 0)
    , m_lateTaken(size_t(count), 0)
    , m_committed(size_t(count), 0)
    , m_lastFinished(NowMs())
{
}

qint64 ItemBoard::NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool ItemBoard::Begin(qsizetype i)
{
    const std::lock_guard lock(m_mutex);
    if (m_items[size_t(i)] != Item::Waiting)
        return false;
    m_items[size_t(i)] = Item::Working;
    m_began[size_t(i)] = NowMs();
    return true;
}

bool ItemBoard::Finish(qsizetype i, bool* awaited)
{
    const std::lock_guard lock(m_mutex);
    if (awaited)
        *awaited = i == m_front;
    m_lastFinished = NowMs();
    Item& item = m_items[size_t(i)];
    if (item == Item::PassedOver) {
        item = Item::Late;
        return false;
    }
    item = Item::Done;
    return true;
}

bool ItemBoard::Commit(qsizetype i)
{
    const std::lock_guard lock(m_mutex);
    if (m_items[size_t(i)] != Item::Working)
        return false;
    m_committed[size_t(i)] = 1;
    return true;
}

ItemBoard::Item ItemBoard::Look(qsizetype i, qint64 stuckMs)
{
    const std::lock_guard lock(m_mutex);
    m_front = i;
    Item& item = m_items[size_t(i)];
    const qint64 now = NowMs();
    if ((item == Item::Working && !m_committed[size_t(i)] && now - m_began[size_t(i)] >= stuckMs)
        || (item == Item::Waiting && now - m_lastFinished >= stuckMs))
        item = Item::PassedOver;
    return item == Item::Late ? Item::PassedOver : item;
}

std::vector<qsizetype> ItemBoard::TakeLate()
{
    const std::lock_guard lock(m_mutex);
    std::vector<qsizetype> late;
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == Item::Late && !m_lateTaken[i]) {
            m_lateTaken[i] = 1;
            late.push_back(qsizetype(i));
        }
    return late;
}

qint64 ItemBoard::MsUntilStuck(qsizetype i, qint64 stuckMs) const
{
    const std::lock_guard lock(m_mutex);
    const Item item = m_items[size_t(i)];
    const qint64 since = item == Item::Working && !m_committed[size_t(i)] ? m_began[size_t(i)]
                         : item == Item::Waiting                          ? m_lastFinished
                                                                          : -1;
    return since < 0 ? -1 : std::max<qint64>(0, since + stuckMs - NowMs());
}

namespace {

std::atomic<int> g_runningJobs { 0 };

} // namespace

BackgroundJob::BackgroundJob(std::function<void(const std::atomic<bool>&)> work, std::function<void()> done)
    : m_flags(std::make_shared<Flags>())
{
    ++g_runningJobs;
    m_thread = std::thread([flags = m_flags, work = std::move(work), done = std::move(done)]() mutable {
        YieldToTheWindow();
        work(flags->cancel);
        flags->finished = true;
        if (done)
            done();
        work = nullptr;
        done = nullptr;
        --g_runningJobs;
    });
}

int BackgroundJob::Running()
{
    return g_runningJobs;
}

BackgroundJob::~BackgroundJob()
{
    Cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundJob::Detach()
{
    Cancel();
    if (m_thread.joinable())
        m_thread.detach();
}

// The eventfd outlives the window's side while a worker may still hold a waker.
struct ThreadWakeup::Core
{
    Core()
        : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
        if (fd < 0)
            qFatal("eventfd failed");
    }
    ~Core() { ::close(fd); }
    void Wake()
    {
        if (pending.exchange(true, std::memory_order_acq_rel))
            return; // a wake is on its way and not yet taken
        const std::uint64_t one = 1;
        while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    int fd;
    std::atomic<bool> pending { false };
};

ThreadWakeup::ThreadWakeup(std::function<void()> handler)
    : m_core(std::make_shared<Core>())
    , m_handler(std::move(handler))
{
    m_notifier = std::make_unique<QSocketNotifier>(m_core->fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { Woken(); });
}

ThreadWakeup::~ThreadWakeup()
{
    m_notifier.reset();
}

void ThreadWakeup::Wake()
{
    m_core->Wake();
}

std::function<void()> ThreadWakeup::Waker() const
{
    return [core = m_core] { core->Wake(); };
}

void ThreadWakeup::Woken()
{
    std::uint64_t count = 0;
    while (::read(m_core->fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
    // Taken before the handler looks, so a wake during it brings it back.
    m_core->pending.exchange(false, std::memory_order_acq_rel);
    m_handler();
}

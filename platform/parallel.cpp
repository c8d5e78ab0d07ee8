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
        for (qsizetype i = next++; i < count; i = next++) {
            if (cancel && *cancel)
                return;
            const auto began = std::chrono::steady_clock::now();
            const long waitsBefore = VoluntaryWaits();
            work(i);
            if (std::chrono::steady_clock::now() - began > std::chrono::microseconds(kSlowItemUs)
                && VoluntaryWaits() != waitsBefore)
                grow();
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

BackgroundJob::BackgroundJob(std::function<void(const std::atomic<bool>&)> work, std::function<void()> done)
    : m_thread([this, work = std::move(work), done = std::move(done)] {
        YieldToTheWindow();
        work(m_cancel);
        m_finished = true;
        if (done)
            done();
    })
{
}

BackgroundJob::~BackgroundJob()
{
    Cancel();
    m_thread.join();
}

ThreadWakeup::ThreadWakeup(std::function<void()> handler)
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , m_handler(std::move(handler))
{
    if (m_fd < 0)
        qFatal("eventfd failed");
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { Woken(); });
}

ThreadWakeup::~ThreadWakeup()
{
    m_notifier.reset();
    ::close(m_fd);
}

void ThreadWakeup::Wake()
{
    if (m_pending.exchange(true, std::memory_order_acq_rel))
        return; // a wake is on its way and not yet taken
    const std::uint64_t one = 1;
    while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void ThreadWakeup::Woken()
{
    std::uint64_t count = 0;
    while (::read(m_fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
    // Taken before the handler looks, so a wake during it brings it back.
    m_pending.exchange(false, std::memory_order_acq_rel);
    m_handler();
}

#include "platform/parallel.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>

void ParallelFor(qsizetype count, int threads, const std::function<void(qsizetype)>& work,
                 const std::atomic<bool>* cancel)
{
    std::atomic<qsizetype> next { 0 };
    const auto run = [&] {
        for (qsizetype i = next++; i < count; i = next++) {
            if (cancel && *cancel)
                return;
            work(i);
        }
    };
    std::vector<std::thread> helpers;
    const qsizetype extra = std::min<qsizetype>(std::max(threads, 1), count) - 1;
    helpers.reserve(std::max<qsizetype>(extra, 0));
    for (qsizetype i = 0; i < extra; ++i)
        helpers.emplace_back(run);
    run();
    for (std::thread& helper : helpers)
        helper.join();
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

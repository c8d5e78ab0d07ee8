#include "platform/parallel.h"

#include <algorithm>

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

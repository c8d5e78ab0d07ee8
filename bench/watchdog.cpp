#include "watchdog.h"

#include <algorithm>

Watchdog::Watchdog(int intervalMs)
    : m_intervalNs(qint64(intervalMs) * 1000000)
{
    m_timer.setInterval(intervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    m_clock.start();
}

void Watchdog::Start()
{
    m_worstNs = 0;
    m_lastNs = m_clock.nsecsElapsed();
    m_timer.start();
}

void Watchdog::Tick()
{
    const qint64 now = m_clock.nsecsElapsed();
    m_worstNs = std::max(m_worstNs, now - m_lastNs - m_intervalNs);
    m_lastNs = now;
}

double Watchdog::Stop()
{
    Tick();
    m_timer.stop();
    return double(std::max<qint64>(m_worstNs, 0)) / 1e6;
}

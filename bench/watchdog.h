#pragma once
// The window's responsiveness as a user feels it: a timer on the event loop that notes how late
// each of its ticks comes. The longest lateness is the longest the loop answered nothing.
#include <QElapsedTimer>
#include <QTimer>

class Watchdog
{
public:
    explicit Watchdog(int intervalMs = 10);
    // Starts watching; the longest stall counts from here.
    void Start();
    // Stops watching and returns the longest stall in ms since Start, the time up to now included.
    double Stop();

private:
    void Tick();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_intervalNs;
    qint64 m_lastNs = 0;
    qint64 m_worstNs = 0;
};

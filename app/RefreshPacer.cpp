#include "app/RefreshPacer.h"

#include <algorithm>
#include <cmath>

RefreshPacer::RefreshPacer(QObject *parent) : QObject(parent), m_timer(this)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RefreshPacer::fire);
}

void RefreshPacer::request()
{
    if (m_timer.isActive())
        return; // the pending due() hands over this data as well
    qint64 wait = 0;
    if (m_sinceLast.isValid())
        wait = std::max<qint64>(0, intervalMs() - m_sinceLast.elapsed());
    m_timer.start(int(wait));
}

void RefreshPacer::noteRefreshCost(double ms)
{
    if (!std::isfinite(ms) || ms < 0.0)
        return;
    // Smoothed over about ten refreshes: a single slow one does not change the rate.
    m_costMs += 0.1 * (ms - m_costMs);

    // Drawing may take at most half of the GUI thread: the interval grows as soon as twice
    // the cost exceeds it, and shrinks only once the cost has fallen well below, so that the
    // rate stays steady around a boundary.
    const double wanted = 2.0 * m_costMs;
    if (wanted <= m_intervalMs && wanted >= 0.45 * m_intervalMs)
        return;
    constexpr double frameMs = 1000.0 / 60.0;
    const double frames = std::max(1.0, std::ceil(wanted / frameMs));
    m_intervalMs = std::clamp(int(frames * frameMs), int(MinIntervalMs), int(MaxIntervalMs));
}

void RefreshPacer::fire()
{
    m_sinceLast.restart();
    emit due();
}

#include "app/RefreshPacer.h"

#include <algorithm>
#include <cmath>

RefreshPacer::RefreshPacer(QObject *parent) : QObject(parent)
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
    // Quick to follow a rise (an OpenGL view opened), slower to forget it.
    const double weight = ms > m_costMs ? 0.5 : 0.1;
    m_costMs += weight * (ms - m_costMs);
}

int RefreshPacer::intervalMs() const
{
    const double wanted = std::ceil(2.0 * m_costMs);
    return int(std::clamp(wanted, double(MinIntervalMs), double(MaxIntervalMs)));
}

void RefreshPacer::fire()
{
    m_sinceLast.restart();
    emit due();
}

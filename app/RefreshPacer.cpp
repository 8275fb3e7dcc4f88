#include "app/RefreshPacer.h"

#include <algorithm>
#include <cmath>

RefreshPacer::RefreshPacer(QObject *parent)
    : RedrawThrottle([this] { emit due(); }, parent, MinIntervalMs)
{
}

void RefreshPacer::noteRefreshCost(double ms)
{
    if (!std::isfinite(ms) || ms < 0.0)
        return;
    // Smoothed over about ten refreshes: a single slow one does not change the rate.
    m_costMs += 0.1 * (ms - m_costMs);

    // Drawing may take at most MaxDrawShare of a core: the interval grows as soon as the cost
    // over that share exceeds it, and shrinks only once the cost has fallen well below, so
    // that the rate stays steady around a boundary.
    const double wanted = m_costMs / MaxDrawShare;
    if (wanted <= intervalMs() && wanted >= 0.45 * intervalMs())
        return;
    constexpr double frameMs = 1000.0 / 60.0;
    const double frames = std::max(1.0, std::ceil(wanted / frameMs));
    setIntervalMs(std::clamp(int(frames * frameMs), int(MinIntervalMs), int(MaxIntervalMs)));
}

#include "views/RedrawThrottle.h"

#include <algorithm>
#include <utility>

RedrawThrottle::RedrawThrottle(std::function<void()> redraw, QObject *parent, int intervalMs)
    : QObject(parent), m_redraw(std::move(redraw)), m_timer(this),
      m_interval(std::max(0, intervalMs))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RedrawThrottle::fire);
}

void RedrawThrottle::request()
{
    if (m_timer.isActive())
        return; // the pending redraw will pick up this data as well
    qint64 wait = 0;
    if (m_sinceLast.isValid())
        wait = std::max<qint64>(0, m_interval - m_sinceLast.elapsed());
    m_timer.start(int(wait));
}

void RedrawThrottle::setIntervalMs(int ms)
{
    m_interval = std::max(0, ms);
}

void RedrawThrottle::flush()
{
    if (!m_timer.isActive())
        return;
    m_timer.stop();
    fire();
}

void RedrawThrottle::fire()
{
    m_sinceLast.restart();
    if (m_redraw)
        m_redraw();
}

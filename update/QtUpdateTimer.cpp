#include "update/QtUpdateTimer.h"

QtUpdateTimer::QtUpdateTimer()
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { fire(); });
}

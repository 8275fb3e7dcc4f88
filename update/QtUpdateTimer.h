#pragma once

#include "update/UpdateTimer.h"

#include <QElapsedTimer>
#include <QTimer>

// The update timer on Qt's event loop: a monotonic clock and a precise single-shot QTimer.
// Lives on the thread that creates it and must be used only there.
class QtUpdateTimer final : public UpdateTimer
{
public:
    QtUpdateTimer();

    qint64 nowMs() const override { return m_clock.elapsed(); }
    void start(int ms) override { m_timer.start(ms); }
    void stop() override { m_timer.stop(); }

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
};

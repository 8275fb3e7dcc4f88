#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Lets a window take every data update but draw at most once per display frame: the one
// pacing algorithm of the program (RefreshPacer adds an interval that follows the cost).
//
// request() may be called as often as data arrives; the redraw function then runs once,
// from the event loop, no sooner than one interval after its previous run, and always
// after the newest request, so the picture ends up showing the newest data.
class RedrawThrottle : public QObject
{
    Q_OBJECT
public:
    static constexpr int frameIntervalMs = 16; // about 60 redraws a second

    explicit RedrawThrottle(std::function<void()> redraw, QObject *parent = nullptr,
                            int intervalMs = frameIntervalMs);

    void request();
    bool isPending() const { return m_timer.isActive(); }
    // Runs a pending redraw at once.
    void flush();
    // Forgets a pending redraw (the window is going away).
    void cancel() { m_timer.stop(); }
    int intervalMs() const { return m_interval; }

protected:
    // A new interval, for the next request on.
    void setIntervalMs(int ms);

private:
    void fire();

    std::function<void()> m_redraw;
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    int m_interval;
};

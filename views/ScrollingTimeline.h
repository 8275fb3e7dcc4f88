#pragma once

#include <QVector>

#include <initializer_list>

// The moving time axis shared by the scrolling plots.
//
// Each plotted point has an x position in seconds; the positions start 0.01 s apart
// (0.00, 0.01, ... for the display length) and all move on together by the wall-clock
// time that passed between two repaints. The keys are the positions used for the curves
// at the last repaint; the tick positions are every tenth position (ten ticks one second
// apart with the usual display length of 1000).
class ScrollingTimeline
{
public:
    static constexpr int defaultLength = 1000;

    explicit ScrollingTimeline(int displayLength = defaultLength);

    // A new length keeps the existing positions and continues or cuts them 0.01 s apart.
    void setDisplayLength(int length);
    int displayLength() const { return m_length; }

    // Moves every x position on by elapsedMs / 1000 seconds, copies them into the keys
    // and picks the tick positions anew.
    void advance(qint64 elapsedMs);

    const QVector<double> &xPositions() const { return m_x; }
    const QVector<double> &keys() const { return m_keys; }
    const QVector<double> &tickPositions() const { return m_ticks; }

private:
    void pickTicks();

    int m_length = 0;
    QVector<double> m_x;
    QVector<double> m_keys;
    QVector<double> m_ticks;
};

// Smallest and largest value over several series; both 0 when every series is empty.
struct SeriesBounds
{
    double lower = 0.0;
    double upper = 0.0;
};
SeriesBounds seriesBounds(std::initializer_list<const QVector<double> *> series);

// Copies src into dst, reusing dst's storage, so that the caller's vector is never shared
// (a shared history vector would be copied again on its owner's next append).
void copySeries(QVector<double> &dst, const QVector<double> &src);

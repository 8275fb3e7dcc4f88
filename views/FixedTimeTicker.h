#pragma once

#include <qcustomplot.h>

// Time axis ticks at positions chosen by the window, labelled as clock time.
//
// Keys are seconds; labels read "mm:ss:zzz". The tick step is fixed at one second (the
// positions given are one second apart) and every step has 5 sub-ticks.
//
// While following the range (a paused plot that the user zooms or pans), the ticks are
// chosen for the visible range instead, as any date-time axis does, so that a range of a
// few milliseconds still has ticks; the given positions are kept for the return.
class FixedTimeTicker : public QCPAxisTickerDateTime
{
public:
    FixedTimeTicker();

    // The ticks sit at positions[0], positions[stride], positions[2 * stride], ...
    void setTickPositions(const QVector<double> &positions, int stride = 1);
    const QVector<double> &tickPositions() const { return m_positions; }

    void setFollowsRange(bool follows) { m_followsRange = follows; }
    bool followsRange() const { return m_followsRange; }

protected:
    double getTickStep(const QCPRange &range) override;
    int getSubTickCount(double tickStep) override;
    QVector<double> createTickVector(double tickStep, const QCPRange &range) override;

private:
    QVector<double> m_positions;
    bool m_followsRange = false;
};

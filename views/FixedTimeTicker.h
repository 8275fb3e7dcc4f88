#pragma once

#include <qcustomplot.h>

// Time axis ticks at positions chosen by the window, labelled as clock time.
//
// Keys are seconds; labels read "mm:ss:zzz". The tick step is fixed at one second (the
// positions given are one second apart) and every step has 5 sub-ticks.
class FixedTimeTicker : public QCPAxisTickerDateTime
{
public:
    FixedTimeTicker();

    void setTickPositions(const QVector<double> &positions);
    const QVector<double> &tickPositions() const { return m_positions; }

protected:
    double getTickStep(const QCPRange &range) override;
    int getSubTickCount(double tickStep) override;
    QVector<double> createTickVector(double tickStep, const QCPRange &range) override;

private:
    QVector<double> m_positions;
};

#pragma once

#include <QVector>

class PassSeries;

// Collects angular velocity samples for the gyro-bias estimation: consecutive X, Y, Z triples
// of the angular velocity items. GUI thread only (the parse pass and the estimation dialog).
class GyroBiasCollector
{
public:
    // Values per second of the chosen duration the buffer takes: 100 triples. Intended as it
    // stands: the cap is the duration's worth of samples at 100 a second whatever the unit's
    // rate, tested before each pass, so the buffer may exceed it by one pass.
    static constexpr int ValuesPerSecond = 300;

    // Starts (or goes on) collecting for an estimation of `seconds` seconds. The buffer is
    // kept: a second start adds to it.
    void start(int seconds)
    {
        m_seconds = seconds;
        m_collecting = true;
    }
    void stop() { m_collecting = false; }
    void clear() { m_samples.clear(); }
    bool isCollecting() const { return m_collecting; }
    int seconds() const { return m_seconds; }

    // After every pass: while collecting and the buffer holds at most seconds × 300 values,
    // appends the pass's angular velocity triples and writes the buffer's size to the
    // diagnostics ("arv.calib").
    void collect(const PassSeries &pass);

    const QVector<double> &samples() const { return m_samples; }

private:
    bool m_collecting = false;
    int m_seconds = 0;
    QVector<double> m_samples;
};

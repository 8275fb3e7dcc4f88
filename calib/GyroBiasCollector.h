#pragma once

#include <QElapsedTimer>
#include <QVector>

class PassSeries;

// Collects angular velocity samples for the gyro-bias estimation: consecutive X, Y, Z triples
// of the angular velocity items. GUI thread only (the parse pass and the estimation dialog).
//
// An estimation spans its chosen duration at the unit's real output rate: start() empties
// the buffer, which then takes triples until it holds GyroBiasEstimate::sampleLimit(seconds,
// rate) of them (seconds × rate, at most 10 s × 2000 Hz; the ceiling rate when the unit's rate
// is not known), triple by triple, so never one more. When the rate is not known, collection
// also ends with the first pass after the duration has passed.
class GyroBiasCollector
{
public:
    // Starts an estimation of `seconds` (1 ... 10) at the unit's output rate `outputRateHz`
    // (0 or less: not known). What an earlier estimation collected is dropped.
    void start(int seconds, double outputRateHz = 0.0);
    // Ends collecting; the samples stay (a write that failed may be repeated).
    void stop() { m_collecting = false; }
    void clear() { m_samples.clear(); }
    bool isCollecting() const { return m_collecting; }
    int seconds() const { return m_seconds; }
    double outputRateHz() const { return m_rateHz; }
    // The triples the buffer takes for this estimation.
    int tripleLimit() const { return m_limit; }
    bool isFull() const { return m_samples.size() / 3 >= m_limit; }
    // Full, or (the rate not known) the duration has passed since start(): nothing more is
    // taken.
    bool isDone() const;
    // The seconds from start() to the arrival of the last triple kept (0 before the first).
    double measuredSeconds() const { return m_lastArrivalMs / 1000.0; }

    // After every pass: while collecting, appends the pass's angular velocity triples up to
    // the limit and writes the buffer's size to the diagnostics ("arv.calib").
    void collect(const PassSeries &pass);

    const QVector<double> &samples() const { return m_samples; }

private:
    bool m_collecting = false;
    int m_seconds = 0;
    double m_rateHz = 0.0;
    int m_limit = 0;
    QElapsedTimer m_clock;
    qint64 m_lastArrivalMs = 0;
    QVector<double> m_samples;
};

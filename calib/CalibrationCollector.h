#pragma once

#include <QVector>

class PassSeries;

// Samples collected for a magnetometer calibration, one entry per magnetic-strength item;
// the other groups are filled only where the pass held a matching value.
struct CalibrationSeries
{
    QVector<double> tid;
    QVector<double> magX, magY, magZ;
    QVector<double> roll, pitch, yaw;
    QVector<double> gyroX, gyroY, gyroZ;
    void clear();
};

// Collects the samples of a magnetometer calibration from the parse passes while a
// calibration collects. GUI thread only (the parse pass and the calibration dialogs).
class CalibrationCollector
{
public:
    // Collecting on or off; the samples stay as they are either way.
    void setCollecting(bool on) { m_collecting = on; }
    bool isCollecting() const { return m_collecting; }
    void clear() { m_series.clear(); }

    // After every pass: while collecting, for each magnetic-strength value i of the pass one
    // entry, with TID i of the pass, and the per-pass roll, pitch, yaw and angular velocity
    // [i] where the pass holds an index i. Nothing while not collecting.
    void collect(const PassSeries &pass);

    const CalibrationSeries &series() const { return m_series; }

private:
    bool m_collecting = false;
    CalibrationSeries m_series;
};

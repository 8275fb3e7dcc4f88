#include "calib/GyroBiasCollector.h"

#include "calib/CalibLog.h"
#include "calib/GyroBiasEstimate.h"
#include "protocol/SampleHistory.h"

#include <algorithm>

void GyroBiasCollector::start(int seconds, double outputRateHz)
{
    m_seconds = seconds;
    m_rateHz = outputRateHz;
    m_limit = GyroBiasEstimate::sampleLimit(seconds, outputRateHz);
    m_samples.clear();
    m_samples.reserve(3 * m_limit);
    m_lastArrivalMs = 0;
    m_clock.start();
    m_collecting = true;
}

bool GyroBiasCollector::isDone() const
{
    return isFull() ||
           (m_rateHz <= 0.0 && m_clock.isValid() && m_clock.elapsed() >= m_seconds * 1000LL);
}

void GyroBiasCollector::collect(const PassSeries &pass)
{
    if (!m_collecting || isDone())
        return;
    const QVector<double> &x = pass[Quantity::GyroX];
    const QVector<double> &y = pass[Quantity::GyroY];
    const QVector<double> &z = pass[Quantity::GyroZ];
    const int room = m_limit - m_samples.size() / 3;
    const int n = std::min({int(x.size()), int(y.size()), int(z.size()), room});
    if (n <= 0)
        return;
    for (int i = 0; i < n; ++i) {
        m_samples.append(x[i]);
        m_samples.append(y[i]);
        m_samples.append(z[i]);
    }
    m_lastArrivalMs = m_clock.elapsed();
    qCDebug(lcCalib) << m_samples.size();
}

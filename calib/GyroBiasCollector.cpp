#include "calib/GyroBiasCollector.h"

#include "calib/CalibLog.h"
#include "protocol/SampleHistory.h"

void GyroBiasCollector::collect(const PassSeries &pass)
{
    if (!m_collecting || m_samples.size() > m_seconds * ValuesPerSecond)
        return;
    const QVector<double> &x = pass[Quantity::GyroX];
    const QVector<double> &y = pass[Quantity::GyroY];
    const QVector<double> &z = pass[Quantity::GyroZ];
    for (int i = 0; i < x.size(); ++i) {
        m_samples.append(x[i]);
        m_samples.append(y[i]);
        m_samples.append(z[i]);
    }
    qCDebug(lcCalib) << m_samples.size();
}

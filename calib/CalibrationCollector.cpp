#include "calib/CalibrationCollector.h"

#include "protocol/SampleHistory.h"

void CalibrationSeries::clear()
{
    for (QVector<double> *v :
         {&tid, &magX, &magY, &magZ, &roll, &pitch, &yaw, &gyroX, &gyroY, &gyroZ})
        v->clear();
}

void CalibrationCollector::collect(const PassSeries &pass)
{
    const QVector<double> &mx = pass[Quantity::MagStrengthX];
    if (!m_collecting || mx.isEmpty())
        return;
    const QVector<double> &my = pass[Quantity::MagStrengthY];
    const QVector<double> &mz = pass[Quantity::MagStrengthZ];
    const QVector<double> &roll = pass[Quantity::Roll];
    const QVector<double> &pitch = pass[Quantity::Pitch];
    const QVector<double> &yaw = pass[Quantity::Yaw];
    const QVector<double> &gx = pass[Quantity::GyroX];
    const QVector<double> &gy = pass[Quantity::GyroY];
    const QVector<double> &gz = pass[Quantity::GyroZ];
    CalibrationSeries &c = m_series;
    for (int i = 0; i < mx.size(); ++i) {
        if (i < pass.tids.size())
            c.tid.append(pass.tids[i]);
        c.magX.append(mx[i]);
        c.magY.append(my[i]);
        c.magZ.append(mz[i]);
        if (i < roll.size()) {
            c.roll.append(roll[i]);
            c.pitch.append(pitch[i]);
            c.yaw.append(yaw[i]);
        }
        if (i < gx.size()) {
            c.gyroX.append(gx[i]);
            c.gyroY.append(gy[i]);
            c.gyroZ.append(gz[i]);
        }
    }
}

#pragma once

// Series as the collectors hand them over, taken from the simulated unit's output without a
// line: the unit's scripted motion lies still for restSeconds, then turns about X, Y and Z,
// turnSeconds each.

#include "calib/Calib3DComputation.h"
#include "sim/UnitCore.h"

#include <cstdint>

// The phases of the unit's default motion, in seconds.
struct SimPhases
{
    double rest, x, y, z, end; // starts of the turns about X, Y, Z; end of the turn about Z
    explicit SimPhases(const MotionConfig &m)
        : rest(0.0), x(m.restSeconds), y(x + m.turnSeconds), z(y + m.turnSeconds),
          end(z + m.turnSeconds)
    {
    }
};

// The unit's reported output from `from` to `to` at `rateHz`; `tickOffset` picks other noise.
inline Calib3DInput simSeries(const UnitCore &core, double from, double to, double rateHz,
                              std::uint64_t tickOffset = 0)
{
    Calib3DInput in;
    for (auto n = static_cast<std::uint64_t>(from * rateHz); n / rateHz < to; ++n) {
        const UnitCore::Reported r = core.reported(n / rateHz, n + tickOffset);
        in.magX << r.magRaw[0];
        in.magY << r.magRaw[1];
        in.magZ << r.magRaw[2];
        in.pitch << r.euler[0];
        in.roll << r.euler[1];
        in.yaw << r.euler[2];
        in.gyroX << r.gyro[0];
        in.gyroY << r.gyro[1];
        in.gyroZ << r.gyro[2];
    }
    return in;
}

// The angular velocity of the same output as the gyro-bias collector keeps it: X, Y, Z triples.
inline QVector<double> gyroTriples(const Calib3DInput &in)
{
    QVector<double> v;
    for (int i = 0; i < in.gyroX.size(); ++i)
        v << in.gyroX[i] << in.gyroY[i] << in.gyroZ[i];
    return v;
}

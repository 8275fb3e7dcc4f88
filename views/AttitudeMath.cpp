#include "views/AttitudeMath.h"

#include <algorithm>
#include <cmath>

namespace AttitudeMath {

AxisAngle modelRotation(double q0, double q1, double q2, double q3)
{
    AxisAngle r;
    if (!std::isfinite(q0) || !std::isfinite(q1) || !std::isfinite(q2) || !std::isfinite(q3))
        return r;
    const double theta = std::acos(std::clamp(q0, -1.0, 1.0));
    const double s = std::sin(theta);
    if (std::abs(s) < 1e-12)
        return r; // 0 or 360 degrees
    const double f = 2.0 * theta / s;
    r.x = -f * q1;
    r.y = f * q3;
    r.z = f * q2;
    if (r.x * r.x + r.y * r.y + r.z * r.z < 1e-24)
        return AxisAngle{};
    r.degrees = 2.0 * theta * 180.0 / 3.14159265;
    r.rotate = true;
    return r;
}

QString readoutLine(const QString &name, double value)
{
    return QStringLiteral("%1:%2").arg(name, -5).arg(value, 7, 'f', 2);
}

} // namespace AttitudeMath

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

double turnBetween(const double a[4], const double b[4])
{
    double dot = 0.0, na = 0.0, nb = 0.0;
    for (int i = 0; i < 4; ++i) {
        dot += a[i] * b[i];
        na += a[i] * a[i];
        nb += b[i] * b[i];
    }
    const double norms = std::sqrt(na * nb);
    if (!std::isfinite(dot) || !std::isfinite(norms) || norms < 1e-24)
        return 0.0;
    return 2.0 * std::acos(std::clamp(std::abs(dot) / norms, 0.0, 1.0));
}

double visibleTurn(int heightPixels)
{
    // The box's corners lie 1.236 units from its centre; the nearest come to 3.76 units from
    // the camera, where a unit spans h / (2 * 3.76 * tan 22.5°) pixels.
    constexpr double cornerRadius = 1.2357;
    constexpr double nearest = 5.0 - cornerRadius;
    const double pixelsPerUnit =
        std::max(heightPixels, 1) / (2.0 * nearest * std::tan(22.5 * 3.14159265358979 / 180.0));
    return 0.25 / (cornerRadius * pixelsPerUnit);
}

QString readoutLine(const QString &name, double value)
{
    return QStringLiteral("%1:%2").arg(name, -5).arg(value, 7, 'f', 2);
}

} // namespace AttitudeMath

#pragma once

// Synthetic magnetometer samples for the calibration fit tests.

#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace CalibSamples {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<double, 9>; // row by row

constexpr double kPi = 3.141592653589793;

inline Mat3 multiply(const Mat3 &p, const Mat3 &q)
{
    Mat3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                r[3 * i + j] += p[3 * i + k] * q[3 * k + j];
    return r;
}

// Body-to-navigation rotation of the yaw-pitch-roll sequence, C = Rz(yaw) Ry(pitch) Rx(roll).
inline Mat3 bodyToNavigation(double pitchDeg, double rollDeg, double yawDeg)
{
    const double t = pitchDeg * kPi / 180, f = rollDeg * kPi / 180, p = yawDeg * kPi / 180;
    const Mat3 rz{std::cos(p), -std::sin(p), 0, std::sin(p), std::cos(p), 0, 0, 0, 1};
    const Mat3 ry{std::cos(t), 0, std::sin(t), 0, 1, 0, -std::sin(t), 0, std::cos(t)};
    const Mat3 rx{1, 0, 0, 0, std::cos(f), -std::sin(f), 0, std::sin(f), std::cos(f)};
    return multiply(rz, multiply(ry, rx));
}

// Solves R m = v by Cramer's rule.
inline Vec3 solve(const Mat3 &r, const Vec3 &v)
{
    auto det = [](const Mat3 &m) {
        return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
               m[2] * (m[3] * m[7] - m[4] * m[6]);
    };
    const double d = det(r);
    Vec3 m{};
    for (int c = 0; c < 3; ++c) {
        Mat3 rc = r;
        for (int i = 0; i < 3; ++i)
            rc[3 * i + c] = v[i];
        m[c] = det(rc) / d;
    }
    return m;
}

// N samples at random attitudes: the true field is C^T * h_n * scale with h_n = (0, 1, -1)
// / sqrt(2), and each reading m solves R m + X0 = that field.
struct Set
{
    std::vector<double> field;     // N x 3, column-major
    std::vector<double> attitudes; // N triples (pitch, roll, yaw) in degrees
    int n = 0;
};

inline Set make(const Mat3 &r, const Vec3 &x0, double scale, int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pitch(-85, 85), angle(-180, 180);
    const Vec3 h{0, 1 / std::sqrt(2.0), -1 / std::sqrt(2.0)};
    Set s;
    s.n = n;
    s.field.resize(3 * n);
    s.attitudes.resize(3 * n);
    for (int i = 0; i < n; ++i) {
        const double pt = pitch(rng), rl = angle(rng), yw = angle(rng);
        const Mat3 c = bodyToNavigation(pt, rl, yw);
        Vec3 v{};
        for (int k = 0; k < 3; ++k)
            v[k] = scale * (c[k] * h[0] + c[3 + k] * h[1] + c[6 + k] * h[2]) - x0[k];
        const Vec3 m = solve(r, v);
        for (int k = 0; k < 3; ++k)
            s.field[i + n * k] = m[k];
        s.attitudes[3 * i] = pt;
        s.attitudes[3 * i + 1] = rl;
        s.attitudes[3 * i + 2] = yw;
    }
    return s;
}

// Points of the ellipse with semi-axis `along` in the direction `tiltDeg` from the x axis and
// `across` perpendicular to it, centred at (cx, cy), at `n` evenly spaced parameter values.
inline void ellipse(double along, double across, double tiltDeg, double cx, double cy, int n,
                    std::vector<double> &x, std::vector<double> &y)
{
    const double t = tiltDeg * kPi / 180;
    x.resize(n);
    y.resize(n);
    for (int j = 0; j < n; ++j) {
        const double u = along * std::cos(2 * kPi * j / n), v = across * std::sin(2 * kPi * j / n);
        x[j] = cx + u * std::cos(t) - v * std::sin(t);
        y[j] = cy + u * std::sin(t) + v * std::cos(t);
    }
}

} // namespace CalibSamples

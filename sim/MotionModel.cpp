#include "sim/MotionModel.h"

#include <cmath>

namespace {

constexpr double Pi = 3.141592653589793;
constexpr double Deg = Pi / 180.0;

std::uint64_t splitmix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// 0 → 1 with zero slope at both ends.
double smoothStep(double u)
{
    if (u <= 0.0)
        return 0.0;
    if (u >= 1.0)
        return 1.0;
    return u * u * u * (u * (u * 6.0 - 15.0) + 10.0);
}

double wrap180(double deg)
{
    double w = std::fmod(deg + 180.0, 360.0);
    if (w < 0.0)
        w += 360.0;
    return w - 180.0;
}

} // namespace

double MotionModel::uniform(std::uint64_t seed, std::uint64_t tick, int channel)
{
    const std::uint64_t h = splitmix(splitmix(seed * 0x2545F4914F6CDD1Dull + tick) ^
                                     static_cast<std::uint64_t>(channel));
    return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

double MotionModel::gauss(std::uint64_t seed, std::uint64_t tick, int channel)
{
    const double u1 = 1.0 - uniform(seed, tick, 2 * channel); // (0, 1]
    const double u2 = uniform(seed, tick, 2 * channel + 1);
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * Pi * u2);
}

std::array<double, 3> MotionModel::attitudeRad(double t) const
{
    // Unwrapped pitch, roll, yaw in radians; continuous in t so that rates can be derived.
    const double yaw0 = 30.0;
    const double turn = m_config.turnSeconds > 0.1 ? m_config.turnSeconds : 0.1;
    double pitch = 0.0, roll = 0.0, yaw = yaw0;
    double tau = t - m_config.restSeconds;
    if (tau > 0.0) {
        // A hand never turns about one axis alone: each turn wobbles about the other two axes
        // (which also keeps the 3D calibration fit well posed). The wobble fades in and out.
        const double phase = std::floor(tau / turn);
        const double u = tau / turn - phase;
        const double fade = std::sin(Pi * u) * std::sin(Pi * u);
        const double w1 = 12.0 * fade * std::sin(2.0 * Pi * 3.0 * u); // three wobbles a turn
        const double w2 = 10.0 * fade * std::sin(2.0 * Pi * 2.0 * u + 1.0);
        if (tau < turn) {
            roll = 360.0 * smoothStep(u);
            pitch = w1;
            yaw = yaw0 + w2;
        } else if (tau < 2.0 * turn) {
            roll = 360.0 + w1; // angles stay continuous (unwrapped) from phase to phase
            pitch = 75.0 * std::sin(2.0 * Pi * smoothStep(u));
            yaw = yaw0 + w2;
        } else if (tau < 3.0 * turn) {
            // Level: this turn also serves the planar (2D) calibration, which fits the
            // horizontal field alone; a tilt of one degree would already bend it by 1 to 2 %.
            roll = 360.0;
            pitch = 0.0;
            yaw = yaw0 + 360.0 * smoothStep(u);
        } else {
            const double f = tau - 3.0 * turn;
            // Ramp in over two seconds so that the free motion starts from rest.
            const double a = smoothStep(f / 2.0);
            pitch =
                a * (25.0 * std::sin(2.0 * Pi * 0.11 * f) + 10.0 * std::sin(2.0 * Pi * 0.37 * f));
            roll = 360.0 +
                   a * (35.0 * std::sin(2.0 * Pi * 0.07 * f + 0.5) * std::sin(2.0 * Pi * 0.07 * f) +
                        8.0 * std::sin(2.0 * Pi * 0.29 * f));
            yaw = yaw0 + 360.0 +
                  a * (50.0 * std::sin(2.0 * Pi * 0.05 * f) + 15.0 * std::sin(2.0 * Pi * 0.19 * f));
        }
    }
    return {pitch * Deg, roll * Deg, yaw * Deg};
}

std::array<double, 3> MotionModel::attitude(double t) const
{
    const auto a = attitudeRad(t);
    return {wrap180(a[0] / Deg), wrap180(a[1] / Deg), wrap180(a[2] / Deg)};
}

std::array<double, 4> MotionModel::quaternionFromEuler(double pitchDeg, double rollDeg,
                                                       double yawDeg)
{
    // q = qz(yaw) ⊗ qy(pitch) ⊗ qx(roll)
    const double cy = std::cos(yawDeg * Deg / 2), sy = std::sin(yawDeg * Deg / 2);
    const double cp = std::cos(pitchDeg * Deg / 2), sp = std::sin(pitchDeg * Deg / 2);
    const double cr = std::cos(rollDeg * Deg / 2), sr = std::sin(rollDeg * Deg / 2);
    return {cr * cp * cy + sr * sp * sy, sr * cp * cy - cr * sp * sy, cr * sp * cy + sr * cp * sy,
            cr * cp * sy - sr * sp * cy};
}

std::array<double, 3> MotionModel::toBody(double pitchDeg, double rollDeg, double yawDeg,
                                          const std::array<double, 3> &v)
{
    // Cᵀ·v with C = Rz(ψ)·Ry(θ)·Rx(φ): apply Rzᵀ, then Ryᵀ, then Rxᵀ.
    const double ps = yawDeg * Deg, th = pitchDeg * Deg, ph = rollDeg * Deg;
    const double x1 = std::cos(ps) * v[0] + std::sin(ps) * v[1];
    const double y1 = -std::sin(ps) * v[0] + std::cos(ps) * v[1];
    const double z1 = v[2];
    const double x2 = std::cos(th) * x1 - std::sin(th) * z1;
    const double y2 = y1;
    const double z2 = std::sin(th) * x1 + std::cos(th) * z1;
    const double x3 = x2;
    const double y3 = std::cos(ph) * y2 + std::sin(ph) * z2;
    const double z3 = -std::sin(ph) * y2 + std::cos(ph) * z2;
    return {x3, y3, z3};
}

MotionSample MotionModel::sample(double t, std::uint64_t tick) const
{
    const MotionConfig &c = m_config;
    MotionSample s;
    const auto a = attitudeRad(t);
    s.euler = {wrap180(a[0] / Deg), wrap180(a[1] / Deg), wrap180(a[2] / Deg)};
    s.quat = quaternionFromEuler(s.euler[0], s.euler[1], s.euler[2]);

    // Body rates from the Euler rates (yaw-pitch-roll sequence).
    const double h = 1e-4;
    const auto a1 = attitudeRad(t + h), a0 = attitudeRad(t - h);
    const double dth = (a1[0] - a0[0]) / (2 * h), dph = (a1[1] - a0[1]) / (2 * h),
                 dps = (a1[2] - a0[2]) / (2 * h);
    const double th = a[0], ph = a[1];
    const double p = dph - dps * std::sin(th);
    const double q = dth * std::cos(ph) + dps * std::cos(th) * std::sin(ph);
    const double r = -dth * std::sin(ph) + dps * std::cos(th) * std::cos(ph);
    const double rates[3] = {p / Deg, q / Deg, r / Deg};
    for (int i = 0; i < 3; ++i)
        s.gyro[i] = rates[i] + c.gyroBias[i] + c.gyroNoise * gauss(c.seed, tick, i);

    const auto g = toBody(s.euler[0], s.euler[1], s.euler[2], {0.0, 0.0, Gravity});
    for (int i = 0; i < 3; ++i)
        s.accel[i] = g[i] + c.accelNoise * gauss(c.seed, tick, 3 + i);

    const double k = c.magStrength * std::sqrt(0.5);
    s.magTrue = toBody(s.euler[0], s.euler[1], s.euler[2], {0.0, k, -k});
    for (int i = 0; i < 3; ++i) {
        double m = c.hardIron[i];
        for (int j = 0; j < 3; ++j)
            m += c.softIron[3 * i + j] * s.magTrue[j];
        s.magRaw[i] = m + c.magNoise * gauss(c.seed, tick, 6 + i);
    }

    s.temperature = 24.5 + 2.0 * (1.0 - std::exp(-t / 300.0)) + 0.3 * std::sin(2 * Pi * t / 600.0) +
                    0.02 * gauss(c.seed, tick, 9);

    // GNSS track: still during the rest, then a circle of 150 m radius at 5 m/s.
    const double radius = 150.0, speed = 5.0;
    const double drive = t > c.restSeconds ? t - c.restSeconds : 0.0;
    const double alpha = speed * drive / radius;
    const double north = radius * std::sin(alpha), east = radius * (1.0 - std::cos(alpha));
    const double earth = 6378137.0;
    s.latitude = c.latitude + north / earth / Deg;
    s.longitude = c.longitude + east / (earth * std::cos(c.latitude * Deg)) / Deg;
    s.altitude = c.altitude + 2.0 * std::sin(2 * Pi * drive / 120.0);
    const double moving = drive > 0.0 ? 1.0 : 0.0;
    const double climb = 2.0 * 2 * Pi / 120.0 * std::cos(2 * Pi * drive / 120.0);
    s.velocity = {moving * speed * std::cos(alpha), moving * speed * std::sin(alpha),
                  -moving * climb};

    // Fusion state: through its named states, then a cycle of fixed, float and an outage.
    int ins = 0, gnss = 0;
    if (t >= 1.0)
        gnss = 1;
    if (t >= 2.0)
        ins = 1;
    if (t >= 3.0) {
        ins = 2;
        gnss = 2;
    }
    if (t >= 5.0) {
        ins = 4;
        gnss = 4;
        const double cyc = std::fmod(t - 5.0, 60.0);
        if (cyc >= 40.0 && cyc < 48.0)
            gnss = 5; // float solution
        else if (cyc >= 48.0 && cyc < 53.0) {
            gnss = 0; // outage: pure dead reckoning
            ins = 5;
        }
    }
    s.fusionState = static_cast<std::uint8_t>((gnss << 4) | ins);
    return s;
}

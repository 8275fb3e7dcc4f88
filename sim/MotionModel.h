#pragma once

#include "sim/UnitConfig.h"

#include <array>
#include <cstdint>

// What the unit's sensors and filters give at one instant, in the units it reports.
struct MotionSample
{
    std::array<double, 3> euler{};   // true pitch, roll, yaw, degrees
    std::array<double, 4> quat{};    // true attitude q0 (scalar), q1, q2, q3
    std::array<double, 3> gyro{};    // measured angular velocity, deg/s (bias and noise included)
    std::array<double, 3> accel{};   // measured specific force, m/s²
    std::array<double, 3> magRaw{};  // raw magnetometer reading (distorted field)
    std::array<double, 3> magTrue{}; // undistorted field in the body frame
    double temperature = 0.0;        // °C
    double latitude = 0.0, longitude = 0.0, altitude = 0.0;
    std::array<double, 3> velocity{}; // north, east, down, m/s (the item's order)
    std::uint8_t fusionState = 0;     // low nibble INS state, high nibble GNSS solution
};

// The scripted motion and the sensor models. Deterministic: the sample of a given time and
// tick depends on the configuration (and its seed) only.
//
// Attitude: at rest, then a full turn about X (roll), a swing about Y (pitch ±75°), a full
// level turn about Z (yaw), then free motion about all axes. The turns about X and Y wobble
// about the other axes, as a hand does; the turn about Z does not. The body-to-navigation rotation
// is C = Rz(yaw)·Ry(pitch)·Rx(roll); the navigation frame has gravity's specific force (0, 0, g)
// and the earth's field along (0, √2/2, −√2/2), so at rest the acceleration reads (−g·sin θ, g·sin
// φ·cos θ, g·cos φ·cos θ).
class MotionModel
{
public:
    static constexpr double Gravity = 9.7936;

    explicit MotionModel(const MotionConfig &config) : m_config(config) {}

    // t: seconds since the unit started; tick: the output tick number (keys the noise).
    MotionSample sample(double t, std::uint64_t tick) const;

    // The true attitude (pitch, roll, yaw in degrees) at time t.
    std::array<double, 3> attitude(double t) const;

    const MotionConfig &config() const { return m_config; }

    // Helpers shared with the tests.
    static std::array<double, 4> quaternionFromEuler(double pitchDeg, double rollDeg,
                                                     double yawDeg);
    // Body-frame image of a navigation-frame vector: Cᵀ·v.
    static std::array<double, 3> toBody(double pitchDeg, double rollDeg, double yawDeg,
                                        const std::array<double, 3> &v);
    // A standard normal number keyed by seed, tick and channel.
    static double gauss(std::uint64_t seed, std::uint64_t tick, int channel);
    static double uniform(std::uint64_t seed, std::uint64_t tick, int channel); // [0, 1)

private:
    std::array<double, 3> attitudeRad(double t) const;
    MotionConfig m_config;
};

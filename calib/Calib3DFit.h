#pragma once

#include <array>

class DoubleArray;

// The twelve parameters of the 3D magnetometer calibration: R = [x0 x1 x2; x3 x4 x5;
// x6 x7 x8] (row by row) and X0 = (x9, x10, x11); the calibrated field of a raw reading m
// is R * m + X0.
using Calib3DParameters = std::array<double, 12>;

// Fits R and X0 by linear least squares so that, for every sample, the calibrated field has
// the same dot product with the gravity vector predicted by the unit's attitude as the model
// earth field h_n = (0, 1, -1) / sqrt(2) has with g_n = (0, 0, 9.7936) in the navigation
// frame (s = g_n . h_n, about -6.925121).
//
// field:     N x 3 (column 0 = x of all samples, 1 = y, 2 = z); N = field.rows().
// attitudes: at least 3 * N elements, the consecutive triples (pitch, roll, yaw) in degrees
//            of the samples (for example a 3 x N array). Yaw has no influence on the fit.
//
// Never throws. With fewer than 12 independent rows the normal matrix is singular and the
// result is all NaN, also where rounding would leave it merely near-singular (tested against
// the rounding level of its sums); callers decide what to do with such a result. Fewer than 12
// samples, a field array with fewer than 3 columns, too few attitude elements, or memory
// running out give all NaN.
// Safe to call from several threads at once. Cost is linear in N; work memory is one N x 12
// array of doubles (96 bytes per sample), freed before returning.
Calib3DParameters fitCalib3D(const DoubleArray &field, const DoubleArray &attitudes) noexcept;

// The constants of the fit, exposed for tests and for callers that model the sensor.
namespace Calib3DModel {
// (0, 1/sqrt(2), -1/sqrt(2)): direction of the earth's field in the navigation frame,
// horizontal part along the second axis, 45 degrees down. Set up once, thread-safely.
const std::array<double, 3> &earthFieldDirection();
// (0, 0, 9.7936): specific force of the resting unit in the navigation frame.
std::array<double, 3> gravityVector();
// g_n . h_n, the dot product every calibrated sample must reproduce.
double targetDotProduct();
} // namespace Calib3DModel

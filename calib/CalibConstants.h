#pragma once

// Constants shared by the magnetometer fits.
namespace CalibConstants {

// The value of pi used for every degree/radian conversion of the fits.
constexpr double kPi = 3.141592653589793;
// Magnitude of gravity (m/s^2) that the 3D fit assumes.
constexpr double kGravity = 9.7936;

} // namespace CalibConstants

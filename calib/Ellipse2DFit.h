#pragma once

class DoubleArray;

// The ellipse found by fitEllipse2D.
struct EllipseFit
{
    double a = 0;  // semi-axis along the direction at `tiltDegrees` from the x axis
    double b = 0;  // semi-axis along the perpendicular direction
    double cx = 0; // centre
    double cy = 0;
    double tiltDegrees = 0; // between -45 and 45 degrees
};

// Least-squares fit of the conic x^2 + B*x*y + C*y^2 + D*x + E*y + F = 0 (unit coefficient
// of x^2) to the points (x[k], y[k]), reported as semi-axes, centre and tilt. The tilt comes
// from the one-argument arc tangent, so an ellipse whose long axis lies at 60 degrees is
// reported at -30 degrees with `a` the short semi-axis.
//
// x and y: vectors of N elements each. Never throws. Nothing is checked: no samples,
// collinear samples or a conic that is no ellipse give non-finite or NaN results, and points
// exactly on a circle give a NaN tilt and NaN semi-axes with the correct centre. Vectors of
// different lengths, or memory running out, give all NaN. Safe to call from several threads
// at once.
EllipseFit fitEllipse2D(const DoubleArray &x, const DoubleArray &y) noexcept;

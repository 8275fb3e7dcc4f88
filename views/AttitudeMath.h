#pragma once

#include <QString>

// The arithmetic of the 3D attitude view, kept apart from OpenGL and widgets.
namespace AttitudeMath {

// A rotation of the model: angle in degrees about the axis (x, y, z) of the model.
struct AxisAngle
{
    bool rotate = false; // false: draw the model unrotated
    double degrees = 0.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// The model rotation for the unit's quaternion (q0 scalar part). The unit's axis
// (q1, q2, q3) is drawn with q1 along the model's -x, q3 along +y (up on the screen) and
// q2 along +z (towards the viewer). q0 is clamped to [-1, 1] first, since the scaled raw
// value may round just outside; a rotation of 0 or 360 degrees or about a zero axis leaves
// the model unrotated.
AxisAngle modelRotation(double q0, double q1, double q2, double q3);

// The angle in radians of the turn from one attitude to another (unit quaternions, q0 scalar
// part; q and -q are the same attitude). 0 for an attitude that is no rotation (zero or not
// finite).
double turnBetween(const double a[4], const double b[4]);

// The smallest turn of the box that moves a corner of it by a quarter of a pixel in a scene
// of this height in pixels (the 3D view's camera: 45 degrees, 5 units away): smaller turns
// are not worth drawing.
double visibleTurn(int heightPixels);

// One line of the angle read-out: the name left-aligned in 5 characters, ":", then the
// value with 2 decimals right-aligned in 7 characters ("Roll : -12.35").
QString readoutLine(const QString &name, double value);

} // namespace AttitudeMath

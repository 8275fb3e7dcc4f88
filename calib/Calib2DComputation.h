#pragma once

#include "calib/Calib3DFit.h"
#include "calib/CalibrationQuality.h"
#include "calib/Ellipse2DFit.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>

// The series a planar (2D) magnetometer calibration collected: the raw field's X and Y of
// item 0x31, one entry per item.
struct Calib2DInput
{
    QVector<double> magX, magY;
    // The number of samples present in both series: the samples the calibration uses.
    int commonCount() const;
};

struct Calib2DResult
{
    enum class Status
    {
        Done,          // the fit ran; see quality for whether it can be written
        TooFewSamples, // fewer than 100 samples: nothing was computed
        Cancelled,     // the stop flag was raised
        OutOfMemory,   // the work arrays could not be allocated
    };
    Status status = Status::Cancelled;
    int sampleCount = 0; // N

    EllipseFit fit; // semi-axes, centre and tilt (degrees) of the fitted ellipse
    // k0 ... k11 in the layout of the 3D result (R row by row, then X0); the third row of R
    // and the third offset are 0.
    Calib3DParameters parameters{};
    QVector<double> x, y;           // the N samples used, for the plot's raw points
    QVector<double> curveX, curveY; // the fitted curve, kCurvePoints points
    CalibrationQuality quality;     // figures, verdict and findings (planar)

    // The result text, in the 3D result's format.
    QString text() const;
    // The message for TooFewSamples (the count and the item the unit must send).
    QString tooFewSamplesText() const;
    // The 57-byte calibration write command; empty unless quality.writable().
    QByteArray writeCommand() const;
};

// The computation behind the 2D calibration's worker thread: the ellipse fit of the
// horizontal field, the parameters that turn the ellipse into the unit circle, the fitted
// curve for the plot and the quality figures.
//
// Parameters, from semi-axis a (along the tilt theta), semi-axis b, centre (cx, cy), with
// theta converted as tilt / 180 * 3.141592:
//     k0 = cos(theta) / a    k1 = sin(theta) / a     k9  = -(k0 cx + k1 cy)
//     k3 = -sin(theta) / b   k4 = cos(theta) / b     k10 = -(k3 cx + k4 cy)
// all others 0, so that R (m - c) turns the ellipse's axes onto X and Y and scales them to 1.
// Points exactly on a circle (where the fit gives no tilt and no semi-axes) are taken as a
// circle: tilt 0 and a = b = their distance from the centre.
//
// The curve is the fitted ellipse drawn without its tilt: xR = a cos t + cx,
// yR = b sin t + cy for t = j / 180 * pi, j = 1 ... 360.
//
// Thread safety and stop flag as Calib3DComputation (the fit itself is one uninterruptible
// pass, about 8 ms per 10^5 samples here). Cost: linear in N, about 0.1 us per sample here;
// about 40 bytes of memory per sample.
class Calib2DComputation
{
public:
    static constexpr int kMinimumSamples = CalibrationQuality::kMinimumSamples;
    static constexpr int kCurvePoints = 360;
    // The value of pi the tilt's conversion to radians uses.
    static constexpr double kTiltPi = 3.141592;

    static Calib2DResult compute(const Calib2DInput &input, const std::atomic<bool> &stop);

    // The parameter vector of a fitted ellipse (non-finite where the fit is).
    static Calib3DParameters parametersFor(const EllipseFit &fit);
};

#pragma once

#include "calib/Calib3DFit.h"
#include "calib/CalibrationQuality.h"
#include "calib/CloudPoint.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>
#include <vector>

// The series a 3D magnetometer calibration collected, as the collector hands them over:
// per magnetic-field-strength item, the attitude and angular velocity of the same frame.
// Copies are cheap (the vectors share their data until written).
struct Calib3DInput
{
    QVector<double> magX, magY, magZ;    // item 0x31, the raw field
    QVector<double> pitch, roll, yaw;    // item 0x40, degrees as sent
    QVector<double> gyroX, gyroY, gyroZ; // item 0x20 (only written to "cab.txt")

    // The number of samples present in all nine series: the samples a calibration uses
    // (no series is read past its end).
    int commonCount() const;
};

struct Calib3DResult
{
    enum class Status
    {
        Done,          // the fit ran; see quality for whether it can be written
        TooFewSamples, // fewer than 100 common samples: nothing was computed
        Cancelled,     // the stop flag was raised
        OutOfMemory,   // the work arrays could not be allocated
    };
    Status status = Status::Cancelled;
    int sampleCount = 0; // N, the common count
    // Samples per item (the shortest series of each), for the message when too few arrived.
    int magneticCount = 0, eulerCount = 0, gyroCount = 0;

    Calib3DParameters fitted{};      // as the fit gave them (all NaN when it failed)
    Calib3DParameters parameters{};  // normalised: the mean of |R m + X0| over the samples is 1
    double meanMagnitude = 0.0;      // that mean before normalising
    QVector<double> magnitudeBefore; // |m_i|, N values ("beResidual")
    QVector<double> magnitudeAfter;  // |R m_i + X0|, normalised, N values ("Residual")
    // The point cloud: N + 1 points, the origin first, then R m_i + X0 (normalised).
    std::vector<CloudPoint> points;
    CalibrationQuality quality; // figures, verdict and findings

    // "R:[x0,x1,x2;x3,x4,x5;x6,x7,x8]\n \nX0:[x9,x10,x11]", 6 significant digits.
    QString text() const;
    // The message for TooFewSamples (counts per item and what the unit must send).
    QString tooFewSamplesText() const;
    // The 57-byte calibration write command; empty unless quality.writable().
    QByteArray writeCommand() const;
};

// The computation behind the 3D calibration's worker thread: from the collected series to
// the normalised parameters, the magnitudes before and after, the point cloud and the quality
// figures. Writing "cab.txt" is separate (CabFile).
//
// Steps: N = input.commonCount(); fewer than 100 -> TooFewSamples. The fit (fitCalib3D) gives
// R and X0; with c_i = R m_i + X0 and mu the mean of |c_i|, all twelve parameters are
// multiplied by 1/mu. A fit with non-finite numbers, or parameters that turn non-finite on
// normalising, are reported in quality.parameters (FitFailed, NotFinite) with magnitudeBefore
// filled and magnitudeAfter and points empty; parameters too large for the command
// (OutOfRange) come with all outputs. None of these is writable.
//
// A worker thread: takes a copy of the collector's series (cheap; the collector may go on
// appending to its own), calls compute(), hands the result to the GUI thread by a queued
// signal (the point cloud converted to the scatter graph's array in the worker), and only then
// writes "cab.txt" (CabFile), which takes far longer than the computation. Closing the port
// raises `stop` and waits for the worker before anything it uses is deleted.
//
// Thread safety: compute() is a pure function of its input; run it in any thread, several at
// once. `stop` is read (relaxed) every 4096 samples in each pass: raising it from another
// thread ends the computation within a few milliseconds with status Cancelled, except during
// the fit itself, one uninterruptible pass (about 20 ms per 10^5 samples here).
// Cost: linear in N, about 0.3 us per sample here (of which the fit 0.2 us); about 170 bytes
// of memory per sample besides the input.
class Calib3DComputation
{
public:
    static constexpr int kMinimumSamples = CalibrationQuality::kMinimumSamples;

    static Calib3DResult compute(const Calib3DInput &input, const std::atomic<bool> &stop);

    // The result text of a parameter vector (also used for the 2D result).
    static QString parameterText(const Calib3DParameters &parameters);
};

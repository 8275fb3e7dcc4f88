#pragma once

#include "calib/CloudPoint.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <limits>

// How far a magnetometer calibration result can be trusted, shown under the result and
// deciding whether "Write to ARV" is offered.
//
// The computations fill the figures (the static helpers below compute them) and call judge(),
// which sets the verdict and the findings from the thresholds:
//
//  - Field magnitude spread after calibration (standard deviation / mean of |R m + X0| over
//    the collected samples). Neither fit aims at a constant magnitude (the 3D fit matches the
//    field's angle to gravity, the 2D fit an ellipse), so a large spread shows that the model
//    does not explain the data (a small one alone proves nothing, see below). Good up to 2 %,
//    usable up to 5 %, beyond that do not write: a well calibrated magnetometer with a noise
//    of a few tenths of a percent stays near 1 %; several percent mean iron moving nearby, the
//    unit carried along while turning, or (2D) a unit that was not kept level.
//  - 3D, directions covered: the calibrated field vectors are sorted to the nearest of the 26
//    directions from the centre of a cube to its faces, edges and corners (each about 40
//    degrees across). The fit needs the field seen from many sides. With the earth's field
//    about 45 degrees down, the three turns of the instructions reach 17 (simulated unit), the
//    turns about X and Y alone 14, about X alone 10, about Z alone 1: there the fit collapses
//    to a nearly constant offset of magnitude 1, whose spread is tiny although it is useless,
//    which is why the spread alone proves nothing. At least 14 is good, below 10 do not write.
//  - 3D, rotation about each axis: the share of its range each attitude angle swept, in
//    10-degree sectors: roll (about X) and yaw (about Z) of the full turn, pitch (about Y) of
//    -90 to 90 degrees. It names the step of the instructions to repeat. Each axis below 2/3
//    makes the result usable at most; two axes below 1/3 (two steps left out) do not write.
//  - 2D, circle covered: the share of 10-degree sectors reached by the angle of the calibrated
//    horizontal field. At least 90 % is good, below 75 % do not write (the turn about Z was not
//    completed, and the ellipse is fitted to an arc).
// A sector or direction counts as reached with at least two samples in it, so that one stray
// sample does not count. The result is never writable when the parameters are not all finite
// or do not fit the command (see ParameterState).
class CalibrationQuality
{
public:
    enum class Verdict
    {
        Good,
        Usable,
        DoNotWrite
    };
    enum class ParameterState
    {
        Valid,
        FitFailed,  // the fit gave non-finite numbers (data that cannot determine it)
        NotFinite,  // finite fit, but normalising it gave non-finite numbers
        OutOfRange, // a parameter does not fit the command's field (|x| * 10^6 > 2^31 - 1)
    };
    enum class Reason
    {
        TooFewSamples,
        FitFailed,
        NotFinite,
        OutOfRange,
        LittleRotation, // about `axis`
        FewDirections,
        LargeSpread,
    };
    struct Finding
    {
        Reason reason;
        Verdict severity;
        int axis = -1; // 0 X, 1 Y, 2 Z for LittleRotation
        bool operator==(const Finding &o) const
        {
            return reason == o.reason && severity == o.severity && axis == o.axis;
        }
    };

    static constexpr int kMinimumSamples = 100;
    static constexpr double kGoodSpreadPercent = 2.0;
    static constexpr double kUsableSpreadPercent = 5.0;
    static constexpr double kGoodTurnShare = 2.0 / 3.0;
    static constexpr double kLittleTurnShare = 1.0 / 3.0; // two axes below: do not write
    static constexpr int kDirectionCount = 26;
    static constexpr int kGoodDirections = 14;
    static constexpr int kUsableDirections = 10;
    static constexpr double kGoodCircleShare = 0.9;
    static constexpr double kUsableCircleShare = 0.75;
    static constexpr int kSectorDegrees = 10;
    static constexpr int kSamplesToReach = 2;

    // ---- Figures (filled by the computation) ----
    bool planar = false;
    int sampleCount = 0;
    ParameterState parameters = ParameterState::FitFailed;
    double spreadBeforePercent = std::numeric_limits<double>::quiet_NaN();
    double spreadAfterPercent = std::numeric_limits<double>::quiet_NaN();
    int directionsReached = 0;                        // 3D, of 26
    std::array<double, 3> turnShare{{0.0, 0.0, 0.0}}; // 3D: about X, Y, Z, 0..1
    double circleShare = 0.0;                         // 2D: 0..1
    // ---- Judgement (set by judge()) ----
    Verdict verdict = Verdict::DoNotWrite;
    QVector<Finding> findings; // the worst first

    // Sets verdict and findings from the figures. A 3D result with a failed fit is judged on
    // that alone (its coverage figures mean nothing).
    void judge();
    bool writable() const { return verdict != Verdict::DoNotWrite; }

    // The lines shown under the result text, in the current interface language: samples,
    // spread before and after, coverage, and the verdict with its reasons.
    QStringList lines() const;
    // One finding as a phrase ("too little rotation about the Y axis").
    QString findingText(const Finding &finding) const;

    // ---- Helpers for the figures; each is one pass over its input ----
    // Standard deviation / mean of the values, in percent (population deviation). NaN for no
    // values or a mean that is not positive.
    static double spreadPercent(const QVector<double> &magnitudes);
    // Of the 26 cube directions, how many the vectors reach (kSamplesToReach each). Zero
    // vectors and non-finite ones are skipped.
    static int directionsReachedBy(const CloudPoint *points, int count);
    // The share of [low, high) (degrees, cut into 10-degree sectors) that the angles reach
    // (kSamplesToReach each). Angles outside are folded in by whole turns; non-finite ones
    // are skipped.
    static double angleShare(const double *degrees, int count, double low, double high);

    // The message for a calibration that did not start: how many samples arrived and which
    // items the unit must send (0x31 magnetic field strength, 0x40 Euler angles, 0x20 angular
    // velocity for 3D; 0x31 for 2D). Counts per item tell which one was missing.
    static QString tooFewSamples3DText(int magnetic, int euler, int angularVelocity);
    static QString tooFewSamples2DText(int magnetic);
};

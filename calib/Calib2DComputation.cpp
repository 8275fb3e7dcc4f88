#include "calib/Calib2DComputation.h"

#include "calib/Calib3DComputation.h"
#include "calib/CalibConstants.h"
#include "calib/CalibLog.h"
#include "calib/DoubleArray.h"
#include "protocol/CommandFrame.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

bool stopRequested(int i, const std::atomic<bool> &stop)
{
    return (i & 4095) == 0 && stop.load(std::memory_order_relaxed);
}

bool finite(const EllipseFit &f)
{
    return std::isfinite(f.a) && std::isfinite(f.b) && std::isfinite(f.cx) && std::isfinite(f.cy) &&
           std::isfinite(f.tiltDegrees);
}

// Points exactly on a circle leave the conic's tilt undetermined (0/0), so the fit gives a
// NaN tilt and NaN semi-axes around a correct centre. When the points' distances from that
// centre agree to within rounding, they are the circle they look like.
void takeCircle(EllipseFit &fit, const std::vector<double> &x, const std::vector<double> &y)
{
    if (!std::isfinite(fit.cx) || !std::isfinite(fit.cy) || std::isfinite(fit.tiltDegrees))
        return;
    double lo = HUGE_VAL, hi = 0.0, squares = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double d = std::hypot(x[i] - fit.cx, y[i] - fit.cy);
        lo = std::min(lo, d);
        hi = std::max(hi, d);
        squares += d * d;
    }
    const double radius = std::sqrt(squares / double(x.size()));
    if (radius > 0.0 && hi - lo <= 1e-9 * radius) {
        fit.a = fit.b = radius;
        fit.tiltDegrees = 0.0;
    }
}

Calib2DResult cancelled()
{
    Calib2DResult r;
    r.status = Calib2DResult::Status::Cancelled;
    return r;
}

Calib2DResult run(const Calib2DInput &in, const std::atomic<bool> &stop)
{
    Calib2DResult r;
    const int n = in.commonCount();
    r.sampleCount = n;
    CalibrationQuality &q = r.quality;
    q.planar = true;
    q.sampleCount = n;
    if (n < Calib2DComputation::kMinimumSamples) {
        r.status = Calib2DResult::Status::TooFewSamples;
        q.judge();
        return r;
    }

    r.x = in.magX.mid(0, n); // shares the data when the series is exactly N long
    r.y = in.magY.mid(0, n);
    std::vector<double> x(r.x.cbegin(), r.x.cend()), y(r.y.cbegin(), r.y.cend());
    QVector<double> before(n);
    for (int i = 0; i < n; ++i) {
        if (stopRequested(i, stop))
            return cancelled();
        before[i] = std::hypot(x[std::size_t(i)], y[std::size_t(i)]);
    }
    q.spreadBeforePercent = CalibrationQuality::spreadPercent(before);

    r.fit = fitEllipse2D(DoubleArray::wrap(x.data(), n, 1), DoubleArray::wrap(y.data(), n, 1));
    takeCircle(r.fit, x, y);
    if (stop.load(std::memory_order_relaxed))
        return cancelled();

    r.curveX.resize(Calib2DComputation::kCurvePoints);
    r.curveY.resize(Calib2DComputation::kCurvePoints);
    for (int j = 1; j <= Calib2DComputation::kCurvePoints; ++j) {
        const double t = j / 180.0 * CalibConstants::kPi;
        r.curveX[j - 1] = r.fit.a * std::cos(t) + r.fit.cx;
        r.curveY[j - 1] = r.fit.b * std::sin(t) + r.fit.cy;
    }

    r.parameters = Calib2DComputation::parametersFor(r.fit);
    r.status = Calib2DResult::Status::Done;
    const Calib3DParameters &k = r.parameters;
    if (!finite(r.fit)) {
        q.parameters = CalibrationQuality::ParameterState::FitFailed;
    } else if (!std::all_of(k.begin(), k.end(), [](double v) { return std::isfinite(v); })) {
        q.parameters = CalibrationQuality::ParameterState::NotFinite;
    } else {
        q.parameters = CommandFrame::writeMagCalibration(k).isEmpty()
                           ? CalibrationQuality::ParameterState::OutOfRange
                           : CalibrationQuality::ParameterState::Valid;
        QVector<double> after(n), angles(n);
        for (int i = 0; i < n; ++i) {
            if (stopRequested(i, stop))
                return cancelled();
            const double u = k[0] * x[std::size_t(i)] + k[1] * y[std::size_t(i)] + k[9];
            const double v = k[3] * x[std::size_t(i)] + k[4] * y[std::size_t(i)] + k[10];
            after[i] = std::hypot(u, v);
            angles[i] = std::atan2(v, u) * (180.0 / CalibConstants::kPi);
        }
        q.spreadAfterPercent = CalibrationQuality::spreadPercent(after);
        q.circleShare = CalibrationQuality::angleShare(angles.constData(), n, -180.0, 180.0);
    }
    q.judge();
    return r;
}

} // namespace

int Calib2DInput::commonCount() const
{
    return std::min(magX.size(), magY.size());
}

Calib3DParameters Calib2DComputation::parametersFor(const EllipseFit &fit)
{
    const double theta = fit.tiltDegrees / 180.0 * kTiltPi;
    Calib3DParameters k{};
    k[0] = std::cos(theta) / fit.a;
    k[1] = std::sin(theta) / fit.a;
    k[3] = -std::sin(theta) / fit.b;
    k[4] = std::cos(theta) / fit.b;
    k[9] = -(k[0] * fit.cx + k[1] * fit.cy);
    k[10] = -(k[3] * fit.cx + k[4] * fit.cy);
    return k;
}

Calib2DResult Calib2DComputation::compute(const Calib2DInput &input, const std::atomic<bool> &stop)
{
    try {
        return run(input, stop);
    } catch (const std::bad_alloc &) {
        qCWarning(lcCalib) << "2D calibration: out of memory for" << input.commonCount()
                           << "samples";
        Calib2DResult r;
        r.status = Calib2DResult::Status::OutOfMemory;
        r.sampleCount = input.commonCount();
        return r;
    }
}

QString Calib2DResult::text() const
{
    return Calib3DComputation::parameterText(parameters);
}

QString Calib2DResult::tooFewSamplesText() const
{
    return CalibrationQuality::tooFewSamples2DText(sampleCount);
}

QByteArray Calib2DResult::writeCommand() const
{
    if (status != Status::Done || !quality.writable())
        return QByteArray();
    return CommandFrame::writeMagCalibration(parameters);
}

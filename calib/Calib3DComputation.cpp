#include "calib/Calib3DComputation.h"

#include "calib/CalibLog.h"
#include "calib/DoubleArray.h"
#include "protocol/CommandFrame.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr int kStopCheckMask = 4095; // the stop flag is read every 4096 samples

bool stopRequested(int i, const std::atomic<bool> &stop)
{
    return (i & kStopCheckMask) == 0 && stop.load(std::memory_order_relaxed);
}

bool allFinite(const Calib3DParameters &p)
{
    return std::all_of(p.begin(), p.end(), [](double v) { return std::isfinite(v); });
}

// c = R m + X0 for parameters laid out as R row by row, then X0.
void apply(const Calib3DParameters &p, double mx, double my, double mz, double c[3])
{
    for (int row = 0; row < 3; ++row)
        c[row] = p[std::size_t(3 * row)] * mx + p[std::size_t(3 * row + 1)] * my +
                 p[std::size_t(3 * row + 2)] * mz + p[std::size_t(9 + row)];
}

int shortest(const QVector<double> &a, const QVector<double> &b, const QVector<double> &c)
{
    return std::min({a.size(), b.size(), c.size()});
}

Calib3DResult cancelled()
{
    Calib3DResult r;
    r.status = Calib3DResult::Status::Cancelled;
    return r;
}

Calib3DResult run(const Calib3DInput &in, const std::atomic<bool> &stop)
{
    Calib3DResult r;
    r.magneticCount = shortest(in.magX, in.magY, in.magZ);
    r.eulerCount = shortest(in.pitch, in.roll, in.yaw);
    r.gyroCount = shortest(in.gyroX, in.gyroY, in.gyroZ);
    const int n = in.commonCount();
    r.sampleCount = n;
    CalibrationQuality &q = r.quality;
    q.planar = false;
    q.sampleCount = n;
    if (n < Calib3DComputation::kMinimumSamples) {
        r.status = Calib3DResult::Status::TooFewSamples;
        q.judge();
        return r;
    }

    QElapsedTimer clock;
    clock.start();
    const double *mx = in.magX.constData(), *my = in.magY.constData(), *mz = in.magZ.constData();
    const std::size_t un = static_cast<std::size_t>(n);

    // The fit's inputs: the field as an N x 3 column-major array, the attitudes as N triples.
    std::vector<double> field(3 * un), attitudes(3 * un);
    r.magnitudeBefore.resize(n);
    for (int i = 0; i < n; ++i) {
        if (stopRequested(i, stop))
            return cancelled();
        const std::size_t k = static_cast<std::size_t>(i);
        field[k] = mx[i];
        field[k + un] = my[i];
        field[k + 2 * un] = mz[i];
        attitudes[3 * k] = in.pitch[i];
        attitudes[3 * k + 1] = in.roll[i];
        attitudes[3 * k + 2] = in.yaw[i];
        r.magnitudeBefore[i] = std::sqrt(mx[i] * mx[i] + my[i] * my[i] + mz[i] * mz[i]);
    }
    q.spreadBeforePercent = CalibrationQuality::spreadPercent(r.magnitudeBefore);
    q.turnShare = {CalibrationQuality::angleShare(in.roll.constData(), n, -180.0, 180.0),
                   CalibrationQuality::angleShare(in.pitch.constData(), n, -90.0, 90.0),
                   CalibrationQuality::angleShare(in.yaw.constData(), n, -180.0, 180.0)};

    r.fitted = fitCalib3D(DoubleArray::wrap(field.data(), n, 3),
                          DoubleArray::wrap(attitudes.data(), 3, n));
    // The work arrays are not needed any more; free them before the outputs grow.
    std::vector<double>().swap(field);
    std::vector<double>().swap(attitudes);
    if (stop.load(std::memory_order_relaxed))
        return cancelled();
    if (!allFinite(r.fitted)) {
        r.parameters = r.fitted;
        q.parameters = CalibrationQuality::ParameterState::FitFailed;
        r.status = Calib3DResult::Status::Done;
        q.judge();
        return r;
    }

    // Normalise: the mean calibrated magnitude over the samples becomes 1.
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        if (stopRequested(i, stop))
            return cancelled();
        double c[3];
        apply(r.fitted, mx[i], my[i], mz[i], c);
        sum += std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    }
    r.meanMagnitude = sum / n;
    for (std::size_t k = 0; k < r.parameters.size(); ++k)
        r.parameters[k] = r.fitted[k] * (1.0 / r.meanMagnitude);
    if (!(r.meanMagnitude > 0.0) || !allFinite(r.parameters)) {
        q.parameters = CalibrationQuality::ParameterState::NotFinite;
        r.status = Calib3DResult::Status::Done;
        q.judge();
        return r;
    }
    q.parameters = CommandFrame::writeMagCalibration(r.parameters).isEmpty()
                       ? CalibrationQuality::ParameterState::OutOfRange
                       : CalibrationQuality::ParameterState::Valid;

    r.magnitudeAfter.resize(n);
    r.points.resize(un + 1); // the origin, then the samples
    for (int i = 0; i < n; ++i) {
        if (stopRequested(i, stop))
            return cancelled();
        double c[3];
        apply(r.parameters, mx[i], my[i], mz[i], c);
        r.magnitudeAfter[i] = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
        r.points[std::size_t(i) + 1] = {float(c[0]), float(c[1]), float(c[2])};
    }
    q.spreadAfterPercent = CalibrationQuality::spreadPercent(r.magnitudeAfter);
    q.directionsReached = CalibrationQuality::directionsReachedBy(r.points.data() + 1, n);
    q.judge();
    r.status = Calib3DResult::Status::Done;
    qCDebug(lcCalib) << "3D calibration:" << n << "samples in" << clock.elapsed() << "ms";
    return r;
}

} // namespace

int Calib3DInput::commonCount() const
{
    return std::min({magX.size(), magY.size(), magZ.size(), pitch.size(), roll.size(), yaw.size(),
                     gyroX.size(), gyroY.size(), gyroZ.size()});
}

Calib3DResult Calib3DComputation::compute(const Calib3DInput &input, const std::atomic<bool> &stop)
{
    try {
        return run(input, stop);
    } catch (const std::bad_alloc &) {
        qCWarning(lcCalib) << "3D calibration: out of memory for" << input.commonCount()
                           << "samples";
        Calib3DResult r;
        r.status = Calib3DResult::Status::OutOfMemory;
        r.sampleCount = input.commonCount();
        return r;
    }
}

QString Calib3DComputation::parameterText(const Calib3DParameters &p)
{
    QString r = QStringLiteral("R:[%1,%2,%3;%4,%5,%6;%7,%8,%9]");
    for (int k = 0; k < 9; ++k)
        r = r.arg(p[std::size_t(k)], 0, 'g', 6);
    QString x0 = QStringLiteral("X0:[%1,%2,%3]");
    for (int k = 9; k < 12; ++k)
        x0 = x0.arg(p[std::size_t(k)], 0, 'g', 6);
    return r + QStringLiteral("\n \n") + x0;
}

QString Calib3DResult::text() const
{
    return Calib3DComputation::parameterText(parameters);
}

QString Calib3DResult::tooFewSamplesText() const
{
    return CalibrationQuality::tooFewSamples3DText(magneticCount, eulerCount, gyroCount);
}

QByteArray Calib3DResult::writeCommand() const
{
    if (status != Status::Done || !quality.writable())
        return QByteArray();
    return CommandFrame::writeMagCalibration(parameters);
}

#include "calib/GyroBiasEstimate.h"

#include "common/Language.h"
#include "protocol/CommandFrame.h"

#include <algorithm>
#include <cmath>
#include <limits>

int GyroBiasEstimate::sampleLimit(int seconds, double outputRateHz)
{
    const int s = std::clamp(seconds, kMinSeconds, kMaxSeconds);
    const double rate =
        outputRateHz > 0.0 && outputRateHz <= kMaxRateHz ? outputRateHz : double(kMaxRateHz);
    return static_cast<int>(std::ceil(s * rate));
}

GyroBiasEstimate::Result GyroBiasEstimate::estimate(const QVector<double> &samples,
                                                    double outputRateHz, double seconds)
{
    Result r;
    const int n = samples.size() / 3;
    r.tripleCount = n;
    r.seconds = seconds >= 0.0       ? seconds
                : outputRateHz > 0.0 ? n / outputRateHz
                                     : std::numeric_limits<double>::quiet_NaN();
    if (n == 0) {
        r.status = Status::NoAngularVelocity;
        return r;
    }
    const double *v = samples.constData();
    for (int axis = 0; axis < 3; ++axis) {
        double sum = 0.0;
        for (int i = 0; i < n; ++i)
            sum += v[3 * i + axis];
        const double mean = sum / n;
        double squares = 0.0;
        for (int i = 0; i < n; ++i) {
            const double d = v[3 * i + axis] - mean;
            squares += d * d;
            r.peak = std::max(r.peak, std::fabs(d));
        }
        r.mean[std::size_t(axis)] = mean;
        r.deviation[std::size_t(axis)] = std::sqrt(squares / n);
    }
    r.still = r.peak <= kStillPeak && std::all_of(r.deviation.begin(), r.deviation.end(),
                                                  [](double d) { return d <= kStillDeviation; });
    r.command = CommandFrame::writeGyroBias(r.mean[0], r.mean[1], r.mean[2]);
    r.status = r.command.isEmpty() ? Status::OutOfRange : Status::Done;
    if (r.status != Status::Done)
        r.still = false;
    return r;
}

QString GyroBiasEstimate::Result::summaryText() const
{
    const QString x = QString::number(mean[0], 'f', 4);
    const QString y = QString::number(mean[1], 'f', 4);
    const QString z = QString::number(mean[2], 'f', 4);
    if (std::isfinite(seconds))
        return Language::text("陀螺零偏：%1 个样本，历时 %2 秒，X %3，Y %4，Z %5 °/s",
                              "Gyro bias from %1 samples over %2 s: X %3, Y %4, Z %5 deg/s")
            .arg(tripleCount)
            .arg(seconds, 0, 'f', 1)
            .arg(x, y, z);
    return Language::text("陀螺零偏：%1 个样本，X %2，Y %3，Z %4 °/s",
                          "Gyro bias from %1 samples: X %2, Y %3, Z %4 deg/s")
        .arg(tripleCount)
        .arg(x, y, z);
}

QString GyroBiasEstimate::Result::notStillText() const
{
    const double worst = *std::max_element(deviation.begin(), deviation.end());
    return Language::text("估计期间角速度有波动（标准差最大 %1 °/s，偏离均值最大 %2 °/s），"
                          "ARV 没有保持静止。仍然写入吗？",
                          "The angular velocity varied during the estimate (standard deviation "
                          "up to %1 deg/s, up to %2 deg/s from the mean): the unit was not "
                          "still. Write anyway?")
        .arg(worst, 0, 'f', 3)
        .arg(peak, 0, 'f', 3);
}

QString GyroBiasEstimate::Result::refusalText() const
{
    if (status == Status::NoAngularVelocity)
        return Language::text("没有收到角速度（0x20），未写入陀螺零偏。",
                              "No angular velocity arrived (item 0x20): no gyro bias was "
                              "written.");
    if (status == Status::OutOfRange)
        return Language::text("陀螺零偏不是 ARV 可接受的数值，未写入。",
                              "The gyro bias is not a value the unit accepts: nothing was "
                              "written.");
    return QString();
}

QString GyroBiasEstimate::Result::debugLine() const
{
    return QStringLiteral("陀螺零偏校准指令为：0x") + QString::fromLatin1(command.toHex());
}

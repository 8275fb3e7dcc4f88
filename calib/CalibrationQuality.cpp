#include "calib/CalibrationQuality.h"

#include "common/Language.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using Verdict = CalibrationQuality::Verdict;
using Reason = CalibrationQuality::Reason;

int rank(Verdict v)
{
    return v == Verdict::DoNotWrite ? 2 : v == Verdict::Usable ? 1 : 0;
}

// Index 0..26 of the cube direction nearest to v (13, the centre, is never returned): with
// the components sorted by magnitude, the best face takes the largest, the best edge the two
// largest and the best corner all three, each with its sign.
int nearestDirection(double x, double y, double z)
{
    const double v[3] = {x, y, z};
    int order[3] = {0, 1, 2};
    std::sort(order, order + 3, [&](int a, int b) { return std::fabs(v[a]) > std::fabs(v[b]); });
    const double a0 = std::fabs(v[order[0]]), a1 = std::fabs(v[order[1]]),
                 a2 = std::fabs(v[order[2]]);
    const double face = a0;
    const double edge = (a0 + a1) / std::sqrt(2.0);
    const double corner = (a0 + a1 + a2) / std::sqrt(3.0);
    const int used = corner > edge && corner > face ? 3 : edge > face ? 2 : 1;
    int code[3] = {0, 0, 0};
    for (int k = 0; k < used; ++k)
        code[order[k]] = v[order[k]] < 0 ? -1 : 1;
    return (code[0] + 1) * 9 + (code[1] + 1) * 3 + (code[2] + 1);
}

QString percent(double value, int decimals)
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QStringLiteral("–");
}

} // namespace

double CalibrationQuality::spreadPercent(const QVector<double> &magnitudes)
{
    const int n = magnitudes.size();
    if (n == 0)
        return std::numeric_limits<double>::quiet_NaN();
    double sum = 0.0;
    for (double m : magnitudes)
        sum += m;
    const double mean = sum / n;
    if (!(mean > 0.0))
        return std::numeric_limits<double>::quiet_NaN();
    double squares = 0.0;
    for (double m : magnitudes)
        squares += (m - mean) * (m - mean);
    return 100.0 * std::sqrt(squares / n) / mean;
}

int CalibrationQuality::directionsReachedBy(const CloudPoint *points, int count)
{
    int hits[27] = {};
    for (int i = 0; i < count; ++i) {
        const CloudPoint &p = points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z) ||
            (p.x == 0.0f && p.y == 0.0f && p.z == 0.0f))
            continue;
        ++hits[nearestDirection(p.x, p.y, p.z)];
    }
    return static_cast<int>(std::count_if(std::begin(hits), std::end(hits),
                                          [](int h) { return h >= kSamplesToReach; }));
}

double CalibrationQuality::angleShare(const double *degrees, int count, double low, double high)
{
    const double span = high - low;
    const int sectors = static_cast<int>(std::ceil(span / kSectorDegrees));
    if (sectors <= 0)
        return 0.0;
    std::vector<int> hits(static_cast<std::size_t>(sectors), 0);
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(degrees[i]))
            continue;
        double a = std::fmod(degrees[i] - low, 360.0);
        if (a < 0.0)
            a += 360.0;
        int sector = static_cast<int>(a / kSectorDegrees);
        if (sector >= sectors) {
            if (a > span)
                continue;         // outside a range shorter than a turn
            sector = sectors - 1; // the upper end itself
        }
        ++hits[static_cast<std::size_t>(sector)];
    }
    const auto reached =
        std::count_if(hits.begin(), hits.end(), [](int h) { return h >= kSamplesToReach; });
    return static_cast<double>(reached) / sectors;
}

void CalibrationQuality::judge()
{
    findings.clear();
    auto add = [this](Reason reason, Verdict severity, int axis = -1) {
        findings.append(Finding{reason, severity, axis});
    };
    auto grade = [](double value, double good, double usable) {
        return value >= good     ? Verdict::Good
               : value >= usable ? Verdict::Usable
                                 : Verdict::DoNotWrite;
    };

    if (sampleCount < kMinimumSamples) { // nothing else was computed
        add(Reason::TooFewSamples, Verdict::DoNotWrite);
        verdict = Verdict::DoNotWrite;
        return;
    }
    if (parameters == ParameterState::FitFailed)
        add(Reason::FitFailed, Verdict::DoNotWrite);
    else if (parameters == ParameterState::NotFinite)
        add(Reason::NotFinite, Verdict::DoNotWrite);
    else if (parameters == ParameterState::OutOfRange)
        add(Reason::OutOfRange, Verdict::DoNotWrite);

    // The rotation about the axes comes from the attitude, so it also explains a failed fit.
    if (!planar) {
        const auto little = std::count_if(turnShare.begin(), turnShare.end(),
                                          [](double share) { return share < kLittleTurnShare; });
        for (int axis = 0; axis < 3; ++axis) {
            const double share = turnShare[std::size_t(axis)];
            if (share < kGoodTurnShare)
                add(Reason::LittleRotation,
                    share < kLittleTurnShare && little >= 2 ? Verdict::DoNotWrite : Verdict::Usable,
                    axis);
        }
    }
    if (parameters == ParameterState::Valid) {
        if (planar) {
            const Verdict v = grade(circleShare, kGoodCircleShare, kUsableCircleShare);
            if (v != Verdict::Good)
                add(Reason::LittleRotation, v, 2);
        } else {
            const Verdict v = grade(directionsReached, kGoodDirections, kUsableDirections);
            if (v != Verdict::Good)
                add(Reason::FewDirections, v);
        }
        // The spread grades the other way round: small is good; NaN is never good.
        const double s = spreadAfterPercent;
        const Verdict v = s <= kGoodSpreadPercent     ? Verdict::Good
                          : s <= kUsableSpreadPercent ? Verdict::Usable
                                                      : Verdict::DoNotWrite;
        if (v != Verdict::Good)
            add(Reason::LargeSpread, v);
    }

    std::stable_sort(findings.begin(), findings.end(), [](const Finding &a, const Finding &b) {
        return rank(a.severity) > rank(b.severity);
    });
    verdict = findings.isEmpty() ? Verdict::Good : findings.front().severity;
}

QString CalibrationQuality::findingText(const Finding &finding) const
{
    static const char *const axes[3] = {"X", "Y", "Z"};
    switch (finding.reason) {
    case Reason::TooFewSamples:
        return Language::text("样本太少（%1 个，至少需要 %2 个）",
                              "too few samples (%1, at least %2 needed)")
            .arg(sampleCount)
            .arg(kMinimumSamples);
    case Reason::FitFailed:
        return planar ? Language::text("拟合失败：数据点不构成椭圆",
                                       "the fit failed: the points do not form an ellipse")
                      : Language::text("拟合失败：姿态变化太小",
                                       "the fit failed: the attitude changed too little");
    case Reason::NotFinite:
        return Language::text("参数不是有限数值", "the parameters are not finite numbers");
    case Reason::OutOfRange:
        return Language::text("参数超出 ARV 可接受的范围",
                              "a parameter lies outside the range the unit accepts");
    case Reason::LittleRotation:
        return Language::text("绕 %1 轴转动太少", "too little rotation about the %1 axis")
            .arg(QLatin1String(axes[std::clamp(finding.axis, 0, 2)]));
    case Reason::FewDirections:
        return Language::text("覆盖的磁场方向太少", "too few field directions covered");
    case Reason::LargeSpread:
        return Language::text("校准后磁场模长仍离散 %1 %（附近有铁磁物体或转动过快？）",
                              "the field magnitude still varies by %1 % after calibration "
                              "(iron nearby, or turned too fast?)")
            .arg(percent(spreadAfterPercent, 2));
    }
    return QString();
}

QStringList CalibrationQuality::lines() const
{
    QStringList out;
    out << Language::text("样本数：%1", "Samples: %1").arg(sampleCount);
    out << Language::text("磁场模长离散度（标准差/均值）：校准前 %1 %，校准后 %2 %",
                          "Field magnitude spread (std/mean): %1 % before, %2 % after calibration")
               .arg(percent(spreadBeforePercent, 2), percent(spreadAfterPercent, 2));
    if (planar) {
        out << Language::text("圆周覆盖：%1 %", "Circle covered: %1 %")
                   .arg(percent(100.0 * circleShare, 0));
    } else {
        out << Language::text("方向覆盖：%1/%2；转动：绕 X 轴 %3 %，绕 Y 轴 %4 %，绕 Z 轴 %5 %",
                              "Directions covered: %1 of %2; rotation about X %3 %, Y %4 %, "
                              "Z %5 %")
                   .arg(directionsReached)
                   .arg(kDirectionCount)
                   .arg(percent(100.0 * turnShare[0], 0), percent(100.0 * turnShare[1], 0),
                        percent(100.0 * turnShare[2], 0));
    }
    QStringList reasons;
    for (const Finding &f : findings)
        reasons << findingText(f);
    const QString joined = reasons.join(Language::text("；", "; "));
    switch (verdict) {
    case Verdict::Good:
        out << Language::text("评估：良好，可以写入", "Verdict: good, ready to write");
        break;
    case Verdict::Usable:
        out << Language::text("评估：可用（%1）", "Verdict: usable (%1)").arg(joined);
        break;
    case Verdict::DoNotWrite:
        out << Language::text("评估：不要写入（%1）", "Verdict: do not write (%1)").arg(joined);
        break;
    }
    return out;
}

QString CalibrationQuality::tooFewSamples3DText(int magnetic, int euler, int angularVelocity)
{
    const int collected = std::min({magnetic, euler, angularVelocity});
    return Language::text("三维磁校准未开始：只采集到 %1 个完整样本，至少需要 %2 个。ARV "
                          "必须输出磁场强度（0x31）、欧拉角（0x40）和角速度（0x20）；"
                          "已收到 0x31：%3 个，0x40：%4 个，0x20：%5 个。",
                          "3D calibration not started: %1 complete samples collected, at least "
                          "%2 needed. The unit must send the magnetic field strength (0x31), the "
                          "Euler angles (0x40) and the angular velocity (0x20); received 0x31: "
                          "%3, 0x40: %4, 0x20: %5.")
        .arg(collected)
        .arg(kMinimumSamples)
        .arg(magnetic)
        .arg(euler)
        .arg(angularVelocity);
}

QString CalibrationQuality::tooFewSamples2DText(int magnetic)
{
    return Language::text("二维磁校准未开始：只采集到 %1 个样本，至少需要 %2 个。ARV "
                          "必须输出磁场强度（0x31）。",
                          "2D calibration not started: %1 samples collected, at least %2 "
                          "needed. The unit must send the magnetic field strength (0x31).")
        .arg(magnetic)
        .arg(kMinimumSamples);
}

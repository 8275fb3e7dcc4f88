#include "calib/AttitudeInput.h"

#include "common/Language.h"
#include "protocol/CommandFrame.h"

#include <QStringList>

#include <cmath>

namespace {

constexpr int kLimitCentidegrees = 18000; // exclusive

// The typed value in hundredths, truncated toward zero. v * 100 of a typed hundredth can land
// a few units in the last place below it (-163.79 * 100 = -16378.999...): a result that close
// to the next whole hundredth away from zero is that hundredth.
int toCentidegrees(double degrees)
{
    const double c = degrees * 100.0;
    const double whole = std::trunc(c);
    const double away = whole + (c < 0.0 ? -1.0 : 1.0);
    const double snapped = std::fabs(away - c) <= 1e-9 ? away : whole;
    const double limit = kLimitCentidegrees - 1;
    return static_cast<int>(std::fmax(-limit, std::fmin(limit, snapped)));
}

QString problemText(AttitudeInput::Problem problem, const QString &field)
{
    switch (problem) {
    case AttitudeInput::Problem::None:
        break;
    case AttitudeInput::Problem::Empty:
        return Language::text("%1为空", "%1 is empty").arg(field);
    case AttitudeInput::Problem::NotANumber:
        return Language::text("%1不是数字", "%1 is not a number").arg(field);
    case AttitudeInput::Problem::OutOfRange:
        return Language::text("%1必须在 -180 与 180 之间（不含两端）",
                              "%1 must lie between -180 and 180 (both excluded)")
            .arg(field);
    }
    return QString();
}

} // namespace

AttitudeInput::Angle AttitudeInput::parseAngle(const QString &text)
{
    Angle a;
    if (text.trimmed().isEmpty()) {
        a.problem = Problem::Empty;
        return a;
    }
    bool ok = false;
    const double v = text.toDouble(&ok); // C locale, blanks around the number ignored
    if (!ok || !std::isfinite(v)) {
        a.problem = Problem::NotANumber;
        return a;
    }
    if (!(std::fabs(v) * 100.0 < kLimitCentidegrees)) {
        a.problem = Problem::OutOfRange;
        return a;
    }
    a.problem = Problem::None;
    a.degrees = v;
    a.centidegrees = toCentidegrees(v);
    return a;
}

AttitudeInput::Result AttitudeInput::parse(const QString &pitchText, const QString &rollText)
{
    Result r;
    r.pitch = parseAngle(pitchText);
    r.roll = parseAngle(rollText);
    if (r.pitch.problem == Problem::None && r.roll.problem == Problem::None) {
        // The builder scales by 100 and truncates toward zero: half a hundredth away from
        // zero lands it on the whole hundredth whatever the rounding of the division.
        auto degreesFor = [](int centi) { return (centi + std::copysign(0.5, centi)) / 100.0; };
        r.frame = CommandFrame::setAttitude(degreesFor(r.pitch.centidegrees),
                                            degreesFor(r.roll.centidegrees));
    }
    return r;
}

QString AttitudeInput::Result::reason() const
{
    QStringList parts;
    for (const QString &s : {problemText(pitch.problem, Language::text("俯仰", "Pitch")),
                             problemText(roll.problem, Language::text("横滚", "Roll"))})
        if (!s.isEmpty())
            parts << s;
    return parts.join(Language::text("；", "; "));
}

QString AttitudeInput::Result::debugLine() const
{
    return QStringLiteral("需要发送的数字为 %1 %2").arg(pitch.centidegrees).arg(roll.centidegrees);
}

QString AttitudeInput::invalidText()
{
    return Language::text("当前输入不合法或者超过量程", "The input is invalid or out of range.");
}

QString AttitudeInput::noPortHeadingText()
{
    return Language::text("请先打开串口后再将航向角置零",
                          "Open the serial port first, then zero the heading.");
}

QString AttitudeInput::noPortAttitudeText()
{
    return Language::text("请先打开串口后再设置姿态角",
                          "Open the serial port first, then set the attitude.");
}

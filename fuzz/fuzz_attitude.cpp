// The pitch and roll fields of the attitude reset, as the user types them: the input is the
// two texts (UTF-8, split at the first line feed; without one, the same text for both).
// Checked for every input:
// - the verdict of each field keeps to its contract: empty exactly when only blanks, a valid
//   angle finite and strictly between -180 and 180 degrees, its hundredths truncated toward
//   zero and within -17999 … 17999;
// - a plain decimal ("-12.345", blanks around it) of up to three integer and six fraction
//   digits is read exactly: its verdict and hundredths agree with integer arithmetic on the
//   digits, so a typed hundredth is never lost to binary rounding;
// - the command is built exactly when both fields are valid, is one well-formed frame (read
//   here independently), and carries the two hundredths that the debug line names;
// - the reason is empty exactly when nothing is wrong.

#include "FuzzSupport.h"

#include "calib/AttitudeInput.h"

#include <QRegularExpression>
#include <QString>

#include <cmath>
#include <cstdlib>

namespace {

using Problem = AttitudeInput::Problem;

// A plain decimal with few digits, read exactly: the verdict and the hundredths sent.
struct Exact
{
    bool plain = false;
    Problem problem = Problem::None;
    long centidegrees = 0;
};

Exact readExactly(const QString &text)
{
    static const QRegularExpression plain(
        QStringLiteral("^[ \\t]*([+-]?)(\\d+)(?:\\.(\\d{1,6}))?[ \\t]*$"));
    const QRegularExpressionMatch m = plain.match(text);
    Exact e;
    QString whole = m.captured(2);
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    if (!m.hasMatch() || whole.size() > 3)
        return e;
    e.plain = true;
    // |value| < 180 exactly when the whole degrees are at most 179; the digits beyond the
    // hundredths are dropped (truncation toward zero).
    if (whole.toLong() >= 180) {
        e.problem = Problem::OutOfRange;
        return e;
    }
    const long hundredths = m.captured(3).left(2).leftJustified(2, QLatin1Char('0')).toLong();
    e.centidegrees = (whole.toLong() * 100 + hundredths) * (m.captured(1) == "-" ? -1 : 1);
    return e;
}

void checkAngle(const QString &text, const AttitudeInput::Angle &a)
{
    FUZZ_CHECK((a.problem == Problem::Empty) == text.trimmed().isEmpty(),
               "empty verdict for \"%s\"", qPrintable(text));
    if (a.problem == Problem::None) {
        FUZZ_CHECK(std::isfinite(a.degrees) && std::fabs(a.degrees) < 180.0, "angle %.17g",
                   a.degrees);
        const double c = a.degrees * 100.0;
        FUZZ_CHECK(std::abs(a.centidegrees) <= 17999, "%d hundredths", a.centidegrees);
        // Truncated toward zero: never beyond the value, less than one hundredth short of it
        // (a hair beyond is the snap onto a typed hundredth).
        FUZZ_CHECK(std::fabs(a.centidegrees) <= std::fabs(c) + 1e-6 &&
                       std::fabs(c) - std::fabs(a.centidegrees) < 1.0 &&
                       (a.centidegrees == 0 || (a.centidegrees < 0) == (c < 0)),
                   "%.17g degrees sent as %d hundredths", a.degrees, a.centidegrees);
    }
    const Exact e = readExactly(text);
    if (!e.plain)
        return;
    FUZZ_CHECK(a.problem == e.problem, "\"%s\": verdict %d, %d read exactly", qPrintable(text),
               int(a.problem), int(e.problem));
    if (e.problem == Problem::None)
        FUZZ_CHECK(a.centidegrees == e.centidegrees, "\"%s\": %d hundredths, %ld read exactly",
                   qPrintable(text), a.centidegrees, e.centidegrees);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString all = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const int cut = all.indexOf(QLatin1Char('\n'));
    const QString pitchText = cut < 0 ? all : all.left(cut);
    const QString rollText = cut < 0 ? all : all.mid(cut + 1);

    const AttitudeInput::Result r = AttitudeInput::parse(pitchText, rollText);
    checkAngle(pitchText, r.pitch);
    checkAngle(rollText, r.roll);
    const AttitudeInput::Angle again = AttitudeInput::parseAngle(pitchText);
    FUZZ_CHECK(again.problem == r.pitch.problem && again.centidegrees == r.pitch.centidegrees,
               "parseAngle and parse differ");

    const bool bothValid = r.pitch.problem == Problem::None && r.roll.problem == Problem::None;
    FUZZ_CHECK(r.valid() == bothValid, "command built: %d, fields valid: %d", r.valid(), bothValid);
    FUZZ_CHECK(r.reason().isEmpty() == bothValid, "reason \"%s\"", qPrintable(r.reason()));
    if (!bothValid)
        return 0;
    int cls = 0, op = 0;
    QByteArray d;
    FUZZ_CHECK(fuzz::readCommand(r.frame, cls, op, d) && r.frame.size() == 13,
               "no well-formed 13-byte frame");
    FUZZ_CHECK(cls == 0x05 && op == 2 && d.size() == 6 && std::uint8_t(d[0]) == 0x11 &&
                   std::uint8_t(d[1]) == 0x04,
               "attitude set frame layout");
    const int pitch = std::int16_t(fuzz::readLE(d, 2, 2));
    const int roll = std::int16_t(fuzz::readLE(d, 4, 2));
    FUZZ_CHECK(pitch == r.pitch.centidegrees && roll == r.roll.centidegrees,
               "sent %d %d, fields %d %d", pitch, roll, r.pitch.centidegrees, r.roll.centidegrees);
    FUZZ_CHECK(r.debugLine().endsWith(QStringLiteral(" %1 %2").arg(pitch).arg(roll)),
               "debug line \"%s\"", qPrintable(r.debugLine()));
    return 0;
}

// The gyro bias estimate (means, command bytes, stillness, buffer bound, texts) and the
// attitude reset input (validation and the value sent).

#include "SimSeries.h"

#include "calib/AttitudeInput.h"
#include "calib/GyroBiasEstimate.h"
#include "common/Language.h"

#include <QtTest>

#include <cmath>
#include <random>

namespace {

using Status = GyroBiasEstimate::Status;
using Problem = AttitudeInput::Problem;

QVector<double> constant(double x, double y, double z, int triples)
{
    QVector<double> v;
    for (int i = 0; i < triples; ++i)
        v << x << y << z;
    return v;
}

std::int16_t le16(const QByteArray &b, int at)
{
    return std::int16_t(std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8);
}

} // namespace

Q_DECLARE_METATYPE(Status)
Q_DECLARE_METATYPE(Problem)

class TestGyroBiasReset : public QObject
{
    Q_OBJECT

    const UnitConfig m_config;
    const SimPhases m_phases{m_config.motion};

private slots:
    void initTestCase() { Language::setChinese(false); }

    // The means over whole triples, scaled by 10^6 and truncated toward zero (bytes 7 to 18 of
    // the command); fewer than one triple or an unsendable mean sends nothing.
    void command_data()
    {
        QTest::addColumn<QVector<double>>("samples");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("-0.0000019, 0.5, 0") << constant(-0.0000019, 0.5, 0, 10) << Status::Done
                                            << QByteArray::fromHex("FFFFFFFF 20A10700 00000000");
        QTest::newRow("7 values: the first two triples")
            << QVector<double>{1, 2, 3, 3, 4, 5, 100} << Status::Done
            << QByteArray::fromHex("80841E00 C0C62D00 00093D00");
        QTest::newRow("no value") << QVector<double>{} << Status::NoAngularVelocity << QByteArray();
        QTest::newRow("2 values") << QVector<double>{0.1, 0.2} << Status::NoAngularVelocity
                                  << QByteArray();
        QTest::newRow("NaN") << constant(NAN, 0, 0, 5) << Status::OutOfRange << QByteArray();
    }
    void command()
    {
        QFETCH(QVector<double>, samples);
        QFETCH(Status, status);
        QFETCH(QByteArray, data);
        const GyroBiasEstimate::Result r = GyroBiasEstimate::estimate(samples, 100);
        QCOMPARE(r.status, status);
        QCOMPARE(r.tripleCount, int(samples.size() / 3));
        QCOMPARE(r.command.mid(7, 12), data);
        if (status == Status::Done) {
            QCOMPARE(r.command.size(), 21);
            QVERIFY(r.refusalText().isEmpty());
        } else {
            QVERIFY(r.command.isEmpty() && !r.still);
            QVERIFY(r.refusalText().contains(status == Status::NoAngularVelocity
                                                 ? "No angular velocity arrived (item 0x20)"
                                                 : "not a value the unit accepts"));
        }
    }

    // The simulated unit lies still, then turns: only the rest counts as still. Its noise
    // (0.02 deg/s) and a noisier gyro's (0.2 deg/s) are still; motion and a knock are not. The
    // bias estimated at rest and written leaves the unit's output at rest within 0.005 deg/s
    // of zero.
    void stillness_data()
    {
        QTest::addColumn<QVector<double>>("samples");
        QTest::addColumn<bool>("still");
        QTest::addColumn<double>("rate"); // of a sample of the unit at rest, or 0
        const UnitCore unit(m_config);
        QTest::newRow("unit at rest, 100 Hz")
            << gyroTriples(simSeries(unit, 0, m_phases.x, 100)) << true << 100.0;
        QTest::newRow("unit at rest, 1000 Hz")
            << gyroTriples(simSeries(unit, 0, m_phases.x, 1000)) << true << 1000.0;
        QTest::newRow("unit turning about X")
            << gyroTriples(simSeries(unit, m_phases.x, m_phases.x + 3, 100)) << false << 0.0;
        std::mt19937 rng(3);
        std::normal_distribution<double> noise(0.0, 0.2);
        QVector<double> noisy;
        for (int i = 0; i < 3 * 20000; ++i)
            noisy << 0.3 + noise(rng);
        QTest::newRow("noise 0.2 deg/s, 20000 samples") << noisy << true << 0.0;
        QVector<double> knock = gyroTriples(simSeries(unit, 0, m_phases.x, 100));
        for (int i = 100; i < 110; ++i)
            knock[3 * i] += 2.0; // a tenth of a second at 2 deg/s
        QTest::newRow("a knock") << knock << false << 0.0;
    }
    void stillness()
    {
        QFETCH(QVector<double>, samples);
        QFETCH(bool, still);
        QFETCH(double, rate);
        const GyroBiasEstimate::Result r = GyroBiasEstimate::estimate(samples, 100);
        QCOMPARE(r.status, Status::Done);
        QCOMPARE(r.still, still);
        if (!still)
            QVERIFY(r.notStillText().contains("not still. Write anyway?"));
        if (rate <= 0)
            return;
        UnitCore unit(m_config);
        unit.receive(r.command, m_phases.x);
        QVERIFY(unit.calibration().gyroWritten);
        double sum[3] = {};
        int n = 0;
        for (; n / rate < m_phases.x; ++n) // other noise than the estimate's
            for (int axis = 0; axis < 3; ++axis)
                sum[axis] += unit.reported(n / rate, n + 5000000).gyro[std::size_t(axis)];
        for (double s : sum)
            QVERIFY2(std::fabs(s / n) < 0.005, qPrintable(QString::number(s / n)));
    }

    // The buffer holds the chosen duration at the unit's rate, within 1 ... 10 s and 2000 Hz.
    void sampleLimitAndTexts()
    {
        const struct
        {
            int seconds;
            double rate;
            int triples;
        } rows[] = {{6, 100, 600},  {6, 2000, 12000}, {6, 0, 12000},  {10, 4000, 20000},
                    {6, 33.3, 200}, {0, 100, 100},    {20, 100, 1000}};
        for (const auto &r : rows)
            QVERIFY2(GyroBiasEstimate::sampleLimit(r.seconds, r.rate) == r.triples,
                     qPrintable(QString("%1 s at %2 Hz").arg(r.seconds).arg(r.rate)));

        const QVector<double> samples = constant(0.05, -0.03, 0.02, 600);
        const GyroBiasEstimate::Result byRate = GyroBiasEstimate::estimate(samples, 100);
        QCOMPARE(byRate.summaryText(), QStringLiteral("Gyro bias from 600 samples over 6.0 s: X "
                                                      "0.0500, Y -0.0300, Z 0.0200 deg/s"));
        QVERIFY(
            GyroBiasEstimate::estimate(samples, 100, 5.93).summaryText().contains("over 5.9 s"));
        QVERIFY(GyroBiasEstimate::estimate(samples, 0)
                    .summaryText()
                    .startsWith("Gyro bias from 600 samples: X 0.0500"));
        const AttitudeInput::Result attitude = AttitudeInput::parse("", "200");
        QCOMPARE(attitude.reason(), QStringLiteral("Pitch is empty; Roll must lie between -180 "
                                                   "and 180 (both excluded)"));
    }

    void attitude_data()
    {
        QTest::addColumn<QString>("pitch");
        QTest::addColumn<QString>("roll");
        QTest::addColumn<Problem>("pitchProblem");
        QTest::addColumn<Problem>("rollProblem");
        QTest::addColumn<QByteArray>("data"); // bytes 7 to 10 of the command
        const Problem ok = Problem::None, bad = Problem::NotANumber;
        const auto row = [](const char *pitch, const char *roll, Problem p, Problem r,
                            const char *data) {
            QTest::addRow("%s, %s", pitch, roll)
                << pitch << roll << p << r << QByteArray::fromHex(data);
        };
        row("12.345", "-0.019", ok, ok, "D204FFFF");
        row("179.99", "0", ok, ok, "4F460000");
        row(" 10 ", "-179.999e0", ok, ok, "E803B1B9"); // blanks around, exponent
        // -163.79 in single precision and 163.73 in double precision, times 100 and truncated,
        // lose a hundredth.
        row("-163.79", "163.73", ok, ok, "05C0F53F");
        row("180", "0", Problem::OutOfRange, ok, "");
        row("0", "-180", ok, Problem::OutOfRange, "");
        row("", "5", Problem::Empty, ok, "");
        row("abc", "12,5", bad, bad, ""); // letters, decimal comma
        row("nan", "-inf", bad, bad, "");
    }
    void attitude()
    {
        QFETCH(QString, pitch);
        QFETCH(QString, roll);
        QFETCH(Problem, pitchProblem);
        QFETCH(Problem, rollProblem);
        QFETCH(QByteArray, data);
        const AttitudeInput::Result r = AttitudeInput::parse(pitch, roll);
        QCOMPARE(r.pitch.problem, pitchProblem);
        QCOMPARE(r.roll.problem, rollProblem);
        QCOMPARE(r.valid(), !data.isEmpty());
        QCOMPARE(r.frame.mid(7, 4), data);
        if (r.valid()) {
            QCOMPARE(r.frame.size(), 13);
            QCOMPARE(le16(r.frame, 7), r.pitch.centidegrees);
        }
        QCOMPARE(r.reason().isEmpty(), r.valid());
    }

    // Every value typed with two decimals arrives as exactly that many hundredths.
    void everyTypedHundredthIsSent()
    {
        for (int k = -17999; k <= 17999; ++k) {
            const QString text = QString::number(k / 100.0, 'f', 2);
            const AttitudeInput::Result r = AttitudeInput::parse(text, text);
            if (le16(r.frame, 7) != k || le16(r.frame, 9) != k)
                QFAIL(qPrintable(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestGyroBiasReset)
#include "tst_gyrobiasreset.moc"

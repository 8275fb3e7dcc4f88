// The magnetometer calibration computations: normalised 3D result, 2D parameters and curve,
// quality figures and verdict, "cab.txt", and the written result correcting the simulated unit.

#include "SimSeries.h"

#include "calib/CabFile.h"
#include "calib/Calib2DComputation.h"
#include "calib/Calib3DComputation.h"
#include "common/Language.h"
#include "sim/MotionModel.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <numeric>
#include <random>
#include <thread>

namespace {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<double, 9>; // row by row
using Quality = CalibrationQuality;
using State = Quality::ParameterState;
constexpr double kPi = 3.141592653589793;
const std::atomic<bool> kGo{false};

// Readings m = soft (scale h_b) + hard at random attitudes, h_b the body-frame image of a unit
// earth field `dipDeg` below the horizon (the fit assumes 45); `truth` gets the h_b.
Calib3DInput knownReadings(const Mat3 &soft, const Vec3 &hard, double scale, double dipDeg,
                           std::vector<Vec3> &truth)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pitch(-85, 85), angle(-180, 180);
    const double dip = dipDeg * kPi / 180;
    Calib3DInput in;
    for (int i = 0; i < 400; ++i) {
        const double p = pitch(rng), r = angle(rng), y = angle(rng);
        truth.push_back(MotionModel::toBody(p, r, y, {0, std::cos(dip), -std::sin(dip)}));
        QVector<double> *mag[3] = {&in.magX, &in.magY, &in.magZ};
        for (int row = 0; row < 3; ++row) {
            double m = hard[std::size_t(row)];
            for (int k = 0; k < 3; ++k)
                m += soft[std::size_t(3 * row + k)] * scale * truth.back()[std::size_t(k)];
            *mag[row] << m;
        }
        in.pitch << p;
        in.roll << r;
        in.yaw << y;
        in.gyroX << 0.0;
        in.gyroY << 0.0;
        in.gyroZ << 0.0;
    }
    return in;
}

// Points of the ellipse with semi-axis `along` at `tiltDeg` from X and `across` perpendicular
// to it, centred at (1, -2), over `arcDeg` of its angle.
Calib2DInput ellipse(double along, double across, double tiltDeg, double arcDeg = 360)
{
    const double t = tiltDeg * kPi / 180;
    Calib2DInput in;
    for (int j = 0; j < 720; ++j) {
        const double s = arcDeg * kPi / 180 * j / 720;
        const double u = along * std::cos(s), v = across * std::sin(s);
        in.magX << 1 + u * std::cos(t) - v * std::sin(t);
        in.magY << -2 + u * std::sin(t) + v * std::cos(t);
    }
    return in;
}

// Findings as short codes ("spread:U", "rot1:D"), the worst first, for whole-list comparison.
QString codes(const Quality &q)
{
    static const char *const names[] = {"few", "fit", "nan", "range", "rot", "dirs", "spread"};
    QStringList out;
    for (const Quality::Finding &f : q.findings)
        out << QLatin1String(names[int(f.reason)]) + (f.axis >= 0 ? QString::number(f.axis) : "") +
                   (f.severity == Quality::Verdict::DoNotWrite ? ":D" : ":U");
    return out.join(' ');
}

} // namespace

Q_DECLARE_METATYPE(Mat3)
Q_DECLARE_METATYPE(Vec3)
Q_DECLARE_METATYPE(Quality)
Q_DECLARE_METATYPE(State)
Q_DECLARE_METATYPE(Calib2DInput)

class TestCalibComputation : public QObject
{
    Q_OBJECT

    const UnitConfig m_config;
    const UnitCore m_unit{m_config};
    const SimPhases m_phases{m_config.motion};

private slots:
    void initTestCase() { Language::setChinese(false); }

    // Whatever the field's scale and true dip, the normalised result maps every reading onto
    // the unit field; the point cloud is the origin and those fields.
    void normalisedResult_data()
    {
        QTest::addColumn<Mat3>("soft");
        QTest::addColumn<Vec3>("hard");
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("dip");
        QTest::addColumn<State>("state");
        const MotionConfig &m = m_config.motion;
        const Mat3 identity{1, 0, 0, 0, 1, 0, 0, 0, 1};
        QTest::newRow("readings are the model field")
            << identity << Vec3{} << 1.0 << 45.0 << State::Valid;
        QTest::newRow("soft and hard iron, field 50")
            << m.softIron << m.hardIron << 50.0 << 45.0 << State::Valid;
        QTest::newRow("dip 62 degrees") << m.softIron << m.hardIron << 1.0 << 62.0 << State::Valid;
        QTest::newRow("too large for the command") << Mat3{3e-4, 0, 0, 0, 3e-4, 0, 0, 0, 3e-4}
                                                   << Vec3{} << 1.0 << 45.0 << State::OutOfRange;
        QTest::newRow("one attitude") << identity << Vec3{} << 1.0 << 45.0 << State::FitFailed;
    }
    void normalisedResult()
    {
        QFETCH(Mat3, soft);
        QFETCH(Vec3, hard);
        QFETCH(double, scale);
        QFETCH(double, dip);
        QFETCH(State, state);
        std::vector<Vec3> truth;
        Calib3DInput in = knownReadings(soft, hard, scale, dip, truth);
        if (state == State::FitFailed) {
            in.pitch.fill(12.5);
            in.roll.fill(-33);
        }
        const Calib3DResult res = Calib3DComputation::compute(in, kGo);
        QCOMPARE(res.status, Calib3DResult::Status::Done);
        QCOMPARE(res.quality.parameters, state);
        QCOMPARE(res.writeCommand().isEmpty(), state != State::Valid);
        QCOMPARE(res.magnitudeBefore.size(), 400);
        QCOMPARE(res.magnitudeBefore[7], std::hypot(in.magX[7], in.magY[7], in.magZ[7]));
        if (state == State::FitFailed) { // no cloud of NaNs
            QVERIFY(res.points.empty() && res.magnitudeAfter.isEmpty());
            return;
        }
        QCOMPARE(int(res.points.size()), 401);
        QVERIFY(res.points[0].x == 0 && res.points[0].y == 0 && res.points[0].z == 0);
        for (int i = 0; i < 400; ++i) {
            const CloudPoint &c = res.points[std::size_t(i) + 1];
            const Vec3 &t = truth[std::size_t(i)];
            QVERIFY(std::fabs(c.x - t[0]) + std::fabs(c.y - t[1]) + std::fabs(c.z - t[2]) < 1e-6);
            QVERIFY(std::fabs(res.magnitudeAfter[i] - 1.0) < 1e-9);
        }
    }

    void resultText()
    {
        Calib3DParameters p{1.5, -2e-7, 0.0123456789, 1, 2, 3, 4, 5, 6, -0.5, 1234567, 0};
        QCOMPARE(
            Calib3DComputation::parameterText(p),
            QStringLiteral("R:[1.5,-2e-07,0.0123457;1,2,3;4,5,6]\n \nX0:[-0.5,1.23457e+06,0]"));
    }

    // Fewer than 100 samples present in all series: nothing computed, and the message says how
    // many arrived of each item the unit must send.
    void tooFewSamples_data()
    {
        QTest::addColumn<int>("mag");
        QTest::addColumn<int>("euler");
        QTest::addColumn<int>("gyro");
        QTest::addColumn<QString>("message"); // a part of it; empty: the computation runs
        QTest::newRow("99") << 99 << 99 << 99 << "99 complete samples";
        QTest::newRow("Euler angles short") << 500 << 99 << 500 << "0x40: 99, 0x20: 500.";
        QTest::newRow("no angular velocity") << 500 << 500 << 0 << "0x31: 500, 0x40: 500, 0x20: 0";
        QTest::newRow("100") << 100 << 100 << 100 << QString();
    }
    void tooFewSamples()
    {
        QFETCH(int, mag);
        QFETCH(int, euler);
        QFETCH(int, gyro);
        QFETCH(QString, message);
        Calib3DInput in;
        in.magX = in.magY = in.magZ = QVector<double>(mag, 1.0);
        in.pitch = in.roll = in.yaw = QVector<double>(euler, 2.0);
        in.gyroX = in.gyroY = in.gyroZ = QVector<double>(gyro, 3.0);
        const Calib3DResult res = Calib3DComputation::compute(in, kGo);
        QCOMPARE(res.status == Calib3DResult::Status::TooFewSamples, !message.isEmpty());
        QVERIFY2(res.tooFewSamplesText().contains(message), qPrintable(res.tooFewSamplesText()));
        const Calib2DResult res2 = Calib2DComputation::compute({in.magX, in.pitch}, kGo);
        QCOMPARE(res2.status == Calib2DResult::Status::TooFewSamples, std::min(mag, euler) < 100);
        QVERIFY(res2.tooFewSamplesText().contains("The unit must send the magnetic field strength "
                                                  "(0x31)."));
    }

    // A stop raised from another thread (the port closing) ends the computation.
    void stopFlagEndsTheWork()
    {
        std::vector<Vec3> truth;
        Calib3DInput big = knownReadings(Mat3{1, 0, 0, 0, 1, 0, 0, 0, 1}, {}, 1, 45, truth);
        for (int k = 0; k < 10; ++k)
            for (QVector<double> *v : {&big.magX, &big.magY, &big.magZ, &big.pitch, &big.roll,
                                       &big.yaw, &big.gyroX, &big.gyroY, &big.gyroZ})
                *v += *v;
        std::atomic<bool> stop{false};
        Calib3DResult res;
        std::thread worker([&] { res = Calib3DComputation::compute(big, stop); });
        stop = true;
        worker.join();
        QCOMPARE(res.status, Calib3DResult::Status::Cancelled);
        QCOMPARE(Calib2DComputation::compute(ellipse(3, 2, 0), stop).status,
                 Calib2DResult::Status::Cancelled);
        QVERIFY(CabFile::format(big, stop).isEmpty());
    }

    // The simulated unit's motion: the instructed three turns are good, parts of them are not.
    void qualityOfSimulatedMotion_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<QString>("findings");
        const SimPhases p = m_phases;
        QTest::newRow("three turns") << p.x << p.end << "";
        QTest::newRow("about X and Y") << p.x << p.z << "rot2:U";
        QTest::newRow("about X only") << p.x << p.y << "rot1:D rot2:D dirs:U spread:U";
        // Level: the attitude's angle to gravity never changes, so the fit cannot be made.
        QTest::newRow("about Z only") << p.z << p.end << "fit:D rot0:D rot1:D";
        QTest::newRow("30 degrees about X")
            << p.x << p.x + 1.6 << "rot0:D rot1:D rot2:D dirs:D spread:U";
    }
    void qualityOfSimulatedMotion()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(QString, findings);
        const Calib3DResult res =
            Calib3DComputation::compute(simSeries(m_unit, from, to, 100), kGo);
        const Quality &q = res.quality;
        QCOMPARE(q.sampleCount, int(std::lround((to - from) * 100)));
        QCOMPARE(codes(q), findings);
        QCOMPARE(res.writeCommand().isEmpty(), findings.contains(":D"));
        if (findings.isEmpty()) // hard and soft iron corrected
            QVERIFY(q.verdict == Quality::Verdict::Good && q.spreadBeforePercent > 5 &&
                    q.spreadAfterPercent < 0.5);
    }

    // The verdict table: the figures of a result and what is found in them.
    void verdict_data()
    {
        QTest::addColumn<Quality>("q");
        QTest::addColumn<QString>("findings");
        auto row = [](const char *name, bool planar, int n, State state, double spread, int dirs,
                      Vec3 turns, double circle, const char *findings) {
            Quality q;
            q.planar = planar;
            q.sampleCount = n;
            q.parameters = state;
            q.spreadAfterPercent = spread;
            q.directionsReached = dirs;
            q.turnShare = turns;
            q.circleShare = circle;
            QTest::newRow(name) << q << QString::fromLatin1(findings);
        };
        const State ok = State::Valid;
        const Vec3 turned{1, 0.9, 1};
        row("3D good", false, 2000, ok, 0.5, 17, turned, 0, "");
        row("2D good", true, 2000, ok, 0.5, 0, {}, 1, "");
        row("99 samples", false, 99, ok, 0.5, 17, turned, 0, "few:D");
        row("spread 2 %", false, 2000, ok, 2.0, 17, turned, 0, "");
        row("spread 2.1 %", false, 2000, ok, 2.1, 17, turned, 0, "spread:U");
        row("spread 5.1 %", true, 2000, ok, 5.1, 0, {}, 1, "spread:D");
        row("spread NaN", false, 2000, ok, NAN, 17, turned, 0, "spread:D");
        row("fit failed", false, 2000, State::FitFailed, NAN, 0, turned, 0, "fit:D");
        row("not finite", true, 2000, State::NotFinite, NAN, 0, {}, 0, "nan:D");
        row("out of range", false, 2000, State::OutOfRange, 0.5, 17, turned, 0, "range:D");
        row("failed fit, turned about X only", false, 2000, State::FitFailed, NAN, 0, {1, 0.1, 0.3},
            0, "fit:D rot1:D rot2:D");
        row("half a turn about Y", false, 2000, ok, 0.5, 17, {1, 0.5, 1}, 0, "rot1:U");
        row("no turn about Z", false, 2000, ok, 0.5, 17, {1, 0.9, 0.05}, 0, "rot2:U");
        row("13 directions", false, 2000, ok, 0.5, 13, turned, 0, "dirs:U");
        row("9 directions", false, 2000, ok, 0.5, 9, turned, 0, "dirs:D");
        row("2D 80 % of the circle", true, 2000, ok, 0.5, 0, {}, 0.8, "rot2:U");
        row("2D 70 % of the circle", true, 2000, ok, 3, 0, {}, 0.7, "rot2:D spread:U");
    }
    void verdict()
    {
        QFETCH(Quality, q);
        QFETCH(QString, findings);
        q.judge();
        QCOMPARE(codes(q), findings);
        QCOMPARE(q.verdict, findings.contains(":D")   ? Quality::Verdict::DoNotWrite
                            : findings.contains(":U") ? Quality::Verdict::Usable
                                                      : Quality::Verdict::Good);
    }

    // Sectors and directions count with two samples in them.
    void coverageHelpers()
    {
        QVector<double> turn, pitchRange;
        for (int d = 0; d < 720; ++d)
            turn << -180 + d * 0.5 + 720 * (d % 2); // folded by whole turns
        for (int d = -90; d <= 90; d += 5)
            pitchRange << d; // both ends inside
        QCOMPARE(Quality::angleShare(turn.constData(), turn.size(), -180, 180), 1.0);
        QCOMPARE(Quality::angleShare(turn.constData(), 60, -180, 180), 3.0 / 36); // 30 degrees
        QCOMPARE(Quality::angleShare(pitchRange.constData(), pitchRange.size(), -90, 90), 1.0);
        QCOMPARE(Quality::angleShare(pitchRange.constData(), pitchRange.size(), -180, 180), 0.5);
        std::vector<CloudPoint> ring; // the field 45 degrees down, turned about Z
        for (int d = 0; d < 360; ++d)
            ring.push_back({float(std::cos(d * kPi / 180)), float(std::sin(d * kPi / 180)), -1});
        QCOMPARE(Quality::directionsReachedBy(ring.data(), 360), 8); // 4 edges, 4 corners
        std::vector<CloudPoint> cube{{0, 0, 0}};                     // the centre counts nowhere
        for (int k = 0; k < 27; ++k)
            cube.push_back({float(k / 9 - 1), float(k / 3 % 3 - 1), float(k % 3 - 1)});
        QCOMPARE(Quality::directionsReachedBy(cube.data(), 28), 0); // once each
        cube.push_back(cube.back());
        QCOMPARE(Quality::directionsReachedBy(cube.data(), 29), 1);
    }

    void lines()
    {
        const Quality arc = Calib2DComputation::compute(ellipse(3, 2, 0, 180), kGo).quality;
        QCOMPARE(arc.lines(),
                 QStringList({"Samples: 720",
                              "Field magnitude spread (std/mean): 57.62 % before, 0.00 % "
                              "after calibration",
                              "Circle covered: 50 %",
                              "Verdict: do not write (too little rotation about the Z axis)"}));
    }

    // The planar parameters turn any ellipse into the unit circle; the axis-aligned ellipse
    // with semi-axes 3 and 2 at (1, -2) gives k0 = 1/3, k4 = 1/2, k9 = -1/3, k10 = 1.
    void planarResult_data()
    {
        QTest::addColumn<Calib2DInput>("in");
        QTest::addColumn<QString>("findings");
        QTest::newRow("3 x 2 at (1, -2)") << ellipse(3, 2, 0) << "";
        QTest::newRow("tilted 20 degrees") << ellipse(3, 2, 20) << "";
        QTest::newRow("long axis at 60 degrees") << ellipse(3, 2, 60) << "";
        QTest::newRow("300 degrees of the turn") << ellipse(3, 2, 20, 300) << "rot2:U";
        QTest::newRow("half a turn") << ellipse(3, 2, 20, 180) << "rot2:D";
        // Symmetric points whose conic has no tilt at all (0/0): taken as the circle they are.
        Calib2DInput circle;
        for (int k = 0; k < 13; ++k) {
            circle.magX << 3 << -3 << 3 << -3 << 4 << -4 << 4 << -4;
            circle.magY << 4 << 4 << -4 << -4 << 3 << 3 << -3 << -3;
        }
        QTest::newRow("exact circle") << circle << "rot2:D"; // 8 directions only
    }
    void planarResult()
    {
        QFETCH(Calib2DInput, in);
        QFETCH(QString, findings);
        const Calib2DResult res = Calib2DComputation::compute(in, kGo);
        QCOMPARE(res.status, Calib2DResult::Status::Done);
        QCOMPARE(codes(res.quality), findings);
        const Calib3DParameters &k = res.parameters;
        for (int i = 0; i < in.magX.size(); ++i) {
            const double u = k[0] * in.magX[i] + k[1] * in.magY[i] + k[9];
            const double v = k[3] * in.magX[i] + k[4] * in.magY[i] + k[10];
            QVERIFY2(std::fabs(std::hypot(u, v) - 1) < 1e-6, qPrintable(QString::number(i)));
        }
        for (int i : {2, 5, 6, 7, 8, 11})
            QCOMPARE(k[std::size_t(i)], 0.0);
        if (QTest::currentDataTag() == QLatin1String("3 x 2 at (1, -2)")) {
            const double want[] = {1.0 / 3, 0, 0, 0, 0.5, 0, 0, 0, 0, -1.0 / 3, 1, 0};
            for (int i = 0; i < 12; ++i)
                QVERIFY(std::fabs(k[std::size_t(i)] - want[i]) < 1e-9);
        }
        // The curve: the fitted ellipse without its tilt, from t = 1 degree.
        const EllipseFit &f = res.fit;
        QCOMPARE(res.curveX.size(), 360);
        QVERIFY(std::fabs(res.curveX[0] - (f.cx + f.a * std::cos(kPi / 180))) < 1e-12);
        for (int j = 0; j < 360; ++j) {
            const double du = (res.curveX[j] - f.cx) / f.a, dv = (res.curveY[j] - f.cy) / f.b;
            QVERIFY(std::fabs(du * du + dv * dv - 1) < 1e-9);
        }
        QCOMPARE(res.x, in.magX);
    }

    void cabFile()
    {
        Calib3DInput in;
        in.gyroX = {1234567};
        in.gyroY = {0.0001};
        in.gyroZ = {-0.5};
        in.magX = {50.123456789};
        in.magY = {1e-7};
        in.magZ = {0};
        in.pitch = {12.5};
        in.roll = {-179.99};
        in.yaw = {3, 4}; // one more: not written
        QCOMPARE(CabFile::format(in, kGo),
                 QByteArray("1.23457e+06 0.0001 -0.5 50.1235 1e-07 0 12.5 -179.99 3\n"));
        const QByteArray text =
            CabFile::format(simSeries(m_unit, m_phases.x, m_phases.x + 5, 100), kGo);
        QCOMPARE(text.count('\n'), 500);
        QCOMPARE(text.count(' '), 500 * 8);

        QTemporaryDir dir;
        const QString path = dir.filePath(CabFile::kFileName);
        QVERIFY(CabFile::write(path, text + text).ok && CabFile::write(path, text).ok);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), text); // replaced, not appended
        const QString missing = dir.filePath("no/such/folder/cab.txt");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write .*no/such/folder"));
        const CabFile::WriteResult failed = CabFile::write(missing, text);
        QVERIFY(!failed.ok && !failed.error.isEmpty() && failed.message(missing).contains(missing));
    }

    // The calibration written to the simulated unit makes its normalised field's magnitude
    // constant within 1 % over the turns; before, it varies far more. The planar calibration
    // holds for the level turn about Z it was made from.
    void writtenCalibrationCorrectsTheUnit_data()
    {
        QTest::addColumn<bool>("planar");
        QTest::newRow("3D, three turns") << false;
        QTest::newRow("2D, turn about Z") << true;
    }
    void writtenCalibrationCorrectsTheUnit()
    {
        QFETCH(bool, planar);
        UnitCore unit{m_config};
        const double from = planar ? m_phases.z : m_phases.x, to = m_phases.end;
        const Calib3DInput in = simSeries(unit, from, to, 100);
        const QByteArray command =
            planar ? Calib2DComputation::compute({in.magX, in.magY}, kGo).writeCommand()
                   : Calib3DComputation::compute(in, kGo).writeCommand();
        QVERIFY(!command.isEmpty());
        auto worstDeviation = [&] { // over other noise than the collected samples'
            QVector<double> magnitudes;
            for (auto n = std::uint64_t(from * 100); n / 100.0 < to; ++n) {
                const auto m = unit.reported(n / 100.0, n + 1000000).magNormalised;
                magnitudes << std::hypot(m[0], m[1], m[2]);
            }
            const double mean =
                std::accumulate(magnitudes.begin(), magnitudes.end(), 0.0) / magnitudes.size();
            double worst = 0;
            for (double m : magnitudes)
                worst = std::max(worst, std::fabs(m / mean - 1));
            return worst;
        };
        QVERIFY(worstDeviation() > 0.1);
        unit.receive(command, to);
        QVERIFY(unit.calibration().magWritten);
        const double after = worstDeviation();
        QVERIFY2(after < 0.01, qPrintable(QString::number(after)));
    }
};

QTEST_GUILESS_MAIN(TestCalibComputation)
#include "tst_calibcomputation.moc"

// The simulated unit's behaviour without a line: answers, frames, physics, calibration,
// the update responder, the line garbler and the byte faults.

#include "SimTestSupport.h"

#include "protocol/CommandFrame.h"
#include "protocol/UpdateFrames.h"
#include "sim/FirmwareImage.h"
#include "sim/LineGarbler.h"
#include "sim/UnitCore.h"

#include <QtTest>

namespace {

constexpr double Pi = 3.141592653589793;

// The answers the core gives to one command.
QVector<DecodedAnswer> ask(UnitCore &core, const QByteArray &command, double now = 0.0)
{
    core.receive(command, now);
    return decodeStream(core.takeAnswers()).answers;
}

// The last data byte of the only answer to a command (−1 without one).
int status(UnitCore &core, const QByteArray &command, double now = 0.0)
{
    const QVector<DecodedAnswer> a = ask(core, command, now);
    return a.size() != 1 || a[0].data.isEmpty() ? -1 : std::uint8_t(a[0].data.back());
}

DecodedFrame frameAt(UnitCore &core, double t, std::uint64_t n)
{
    const QVector<DecodedFrame> f = framesOf(core.buildOutput(t, n));
    return f.size() == 1 ? f[0] : DecodedFrame{};
}

// Specific force that the calibration expects for pitch θ and roll φ (degrees).
QVector<double> expectedGravity(double pitch, double roll)
{
    const double g = MotionModel::Gravity, th = pitch * Pi / 180, ph = roll * Pi / 180;
    return {-g * std::sin(th), g * std::sin(ph) * std::cos(th), g * std::cos(ph) * std::cos(th)};
}

// Gravity (0, 0, g) of the navigation frame in the body frame, turned by the quaternion
// q (body → navigation): the last row of its rotation matrix, times g.
QVector<double> gravityFromQuat(const QVector<double> &q)
{
    const double g = MotionModel::Gravity, w = q[0], x = q[1], y = q[2], z = q[3];
    return {2 * g * (x * z - w * y), 2 * g * (y * z + w * x), g * (1 - 2 * (x * x + y * y))};
}

} // namespace

class TestUnitCore : public QObject
{
    Q_OBJECT
private slots:
    void answersTheSetCommandsWithTheirStatus()
    {
        UnitCore core{UnitConfig()};
        // Frequency: success, then the new code on query; unsupported codes fail.
        QCOMPARE(status(core, CommandFrame::setFrequency(200, "ARV806 ", "A")), 0x00);
        QCOMPARE(core.outputRateHz(), 200.0);
        QCOMPARE(status(core, CommandFrame::queryFrequency()), 9);
        for (char code : {char(15), char(0)})
            QCOMPARE(status(core, CommandFrame::build(0x03, 2, QByteArray(1, code))), 0xFF);
        QCOMPARE(core.frequencyCode(), 9);
        ask(core, CommandFrame::setFrequency(400, "ARV806 ", "A")); // code 10 on this model
        QVERIFY(core.frequencyCode() == 10 && core.outputRateHz() == 400.0);

        QCOMPARE(ask(core, CommandFrame::setContents(0x0090)).value(0).data, QByteArray(1, '\0'));
        QCOMPARE(core.contentMask(), std::uint16_t(0x0090));

        QCOMPARE(status(core, CommandFrame::setAlgorithmMode(2)), 0x00);
        QCOMPARE(status(core, CommandFrame::queryAlgorithm()), 2);
        QCOMPARE(status(core, CommandFrame::setAlgorithmMode(9)), 0xFF);
        QCOMPARE(core.algorithmMode(), 2);

        // Baud, protocol and rate range: no answer, in effect at once.
        QVERIFY(ask(core, CommandFrame::setBaudRate(921600)).isEmpty());
        QVERIFY(ask(core, CommandFrame::setRateRange(2)).isEmpty());
        QVERIFY(ask(core, CommandFrame::setOutputProtocol(2)).isEmpty());
        QCOMPARE(core.baudRate(), 921600);
        QCOMPARE(core.outputRateHz(), 100.0); // the low range caps the rate
        QVERIFY(core.buildOutput(10.0, 0).startsWith("$GPGGA,"));
    }

    void findsCommandsAmongGarbageAndSplitChunks()
    {
        UnitCore core{UnitConfig()};
        const QByteArray query = CommandFrame::queryVersion();
        // A bogus header claiming a long frame, noise, then the query split in two.
        core.receive(QByteArray::fromHex("5156ff") + "noise\x51", 0.0);
        core.receive(query.left(3), 0.05);
        QVERIFY(core.takeAnswers().isEmpty());
        QCOMPARE(ask(core, query.mid(3), 0.1).size(), 1);
        QByteArray bad = query;
        bad[5] = char(bad[5] ^ 1);
        QVERIFY(ask(core, bad, 1.0).isEmpty());
    }

    void framesCarryTheItemsOfTheMask()
    {
        UnitConfig c;
        UnitCore core(c);
        DecodedFrame f = frameAt(core, 0.5, 100);
        QCOMPARE(f.items.keys(), QList<int>({0x01, 0x10, 0x20, 0x30, 0x31, 0x40, 0x41, 0x50, 0x51,
                                             0x52, 0x60, 0x70, 0x80}));
        QCOMPARE(f.items[0x80][0], 0.0);                       // nothing initialised yet
        QCOMPARE(frameAt(core, 2.5, 1).items[0x80][0], 11.0);  // position initialised, single point
        QCOMPARE(frameAt(core, 10.0, 2).items[0x80][0], 44.0); // fusion with a fixed solution
        core.setPreciseLocation(true);
        core.setContentMask(ContentMask::Position | ContentMask::Quaternion);
        f = frameAt(core, 1.0, 101);
        QCOMPARE(f.items.keys(), QList<int>({0x41, 0x68}));
        QVERIFY(std::fabs(f.items[0x68][0] - c.motion.latitude) < 1e-3);
        core.setContentMask(ContentMask::Timestamp);
        f = frameAt(core, 2.5, 102);
        QCOMPARE(f.items.keys(), QList<int>({0x51, 0x52}));
        QVERIFY(f.items[0x51][0] == 2500000.0 && f.items[0x52][0] == 2500.0);
    }

    void tidCountsUpAndWraps()
    {
        UnitCore core{UnitConfig()};
        core.setContentMask(0);
        QCOMPARE(frameAt(core, 0, 0).tid, 0);
        for (int i = 1; i < 65535; ++i)
            core.buildOutput(0, 0);
        core.skipFrame(); // 65535 is used up by a skipped frame
        QCOMPARE(frameAt(core, 0, 0).tid, 0);
        QCOMPARE(frameAt(core, 0, 0).tid, 1);
        QCOMPARE(core.counters().framesSkipped, std::uint64_t(1));
    }

    void physicsFollowsTheSignConventions()
    {
        UnitConfig c;
        UnitCore core(c);
        const double total = c.motion.restSeconds + 3 * c.motion.turnSeconds + 20.0;
        double maxGyro = 0.0;
        for (int n = 0; n < 2000; ++n) {
            const double t = total * n / 2000.0;
            const DecodedFrame f = frameAt(core, t, static_cast<std::uint64_t>(n));
            const QVector<double> acc = f.items[0x10], e = f.items[0x40], q = f.items[0x41];
            // Acceleration = gravity of the reported attitude (no linear motion); the unit
            // quaternion turns gravity the same way.
            const QVector<double> g = expectedGravity(e[0], e[1]), gq = gravityFromQuat(q);
            QVERIFY(std::fabs(norm(q) - 1.0) < 1e-5);
            for (int i = 0; i < 3; ++i)
                QVERIFY2(std::fabs(acc[i] - g[i]) < 0.05 && std::fabs(gq[i] - g[i]) < 1e-3,
                         qPrintable(QString("t=%1").arg(t)));
            QVERIFY(e[0] >= -90.0 && e[0] <= 90.0);
            QVERIFY(std::fabs(f.items[0x01][0] - 25.0) < 3.0);
            maxGyro = std::max(maxGyro, norm(f.items[0x20]));
        }
        QVERIFY(maxGyro > 30.0); // it does turn
        // Same seed, same output; another seed, other noise.
        UnitCore again(c);
        QCOMPARE(frameAt(again, 5.0, 500).items[0x20], frameAt(core, 5.0, 500).items[0x20]);
        c.motion.seed = 2;
        UnitCore other(c);
        QVERIFY(frameAt(other, 5.0, 500).items[0x20] != frameAt(core, 5.0, 500).items[0x20]);
    }

    // The velocity item's fields are what the item table names them ("北向速度",
    // "东向速度", "地向速度"): the rates at which the reported position moves north, east
    // and down.
    void velocityFieldsFollowTheItemTable()
    {
        const ItemKind *velocity = ItemKind::find(ItemId::Velocity);
        QVERIFY(velocity);
        const auto field = [velocity](const char *name) {
            for (int i = 0; i < velocity->valueCount; ++i)
                if (velocity->column(i, true) == QString::fromUtf8(name))
                    return i;
            return -1;
        };
        const int north = field("北向速度"), east = field("东向速度"), down = field("地向速度");
        QVERIFY(north >= 0 && east >= 0 && down >= 0);

        UnitConfig c;
        UnitCore core(c);
        const double earth = 6378137.0, dt = 0.5;
        const double metresPerDegLat = earth * Pi / 180.0;
        const double metresPerDegLon = metresPerDegLat * std::cos(c.motion.latitude * Pi / 180.0);
        // Along the circle (headings all round) and through climbs and descents.
        for (double t = c.motion.restSeconds + 5.0; t < c.motion.restSeconds + 190.0; t += 17.0) {
            const QVector<double> before = frameAt(core, t - dt / 2, 0).items[ItemId::Location];
            const QVector<double> after = frameAt(core, t + dt / 2, 0).items[ItemId::Location];
            const QVector<double> v = frameAt(core, t, 0).items[ItemId::Velocity];
            QCOMPARE(v.size(), 3);
            const double seen[3] = {(after[0] - before[0]) * metresPerDegLat / dt,
                                    (after[1] - before[1]) * metresPerDegLon / dt,
                                    -(after[2] - before[2]) / dt};
            const int index[3] = {north, east, down};
            for (int k = 0; k < 3; ++k)
                QVERIFY2(std::fabs(v[index[k]] - seen[k]) < 0.1,
                         qPrintable(QString("t=%1 field %2").arg(t).arg(index[k])));
        }
    }

    void gyroIntegratesToTheAttitude()
    {
        UnitConfig c;
        UnitCore core(c);
        // The angular velocity integrates to the attitude through every phase of the script,
        // with no step anywhere.
        std::array<double, 4> q = core.reported(0.0, 0).quat;
        const double dt = 0.0005, end = c.motion.restSeconds + 3 * c.motion.turnSeconds + 10.0;
        double last = core.reported(0.0, 0).truth.gyro[2];
        for (double t = 0.0; t < end; t += dt) {
            auto w = core.reported(t + dt / 2, 0).truth.gyro;
            QVERIFY(std::fabs(w[2] - last) < 1.0 && norm({w[0], w[1], w[2]}) < 200.0);
            last = w[2];
            for (int k = 0; k < 3; ++k)
                w[k] = (w[k] - c.motion.gyroBias[k] -
                        c.motion.gyroNoise * MotionModel::gauss(c.motion.seed, 0, k)) *
                       Pi / 180.0;
            const std::array<double, 4> dq = {
                -q[1] * w[0] - q[2] * w[1] - q[3] * w[2], q[0] * w[0] + q[2] * w[2] - q[3] * w[1],
                q[0] * w[1] - q[1] * w[2] + q[3] * w[0], q[0] * w[2] + q[1] * w[1] - q[2] * w[0]};
            double len = 0.0;
            for (int k = 0; k < 4; ++k)
                len += (q[k] += 0.5 * dq[k] * dt) * q[k];
            for (double &x : q)
                x /= std::sqrt(len);
        }
        const auto truth = core.reported(end, 0).quat;
        const double dot = q[0] * truth[0] + q[1] * truth[1] + q[2] * truth[2] + q[3] * truth[3];
        QVERIFY2(std::fabs(dot) > 0.9999, qPrintable(QString::number(dot)));
    }

    void magnetometerMatchesTheCalibrationModel()
    {
        // With R = S⁻¹/k and X0 = −S⁻¹·o/k the calibrated field has unit length and the dot
        // product with the expected gravity vector that the 3D fit demands.
        UnitConfig c;
        c.motion.magNoise = 0.0;
        c.motion.softIron = {1.1, 0, 0, 0, 0.9, 0, 0, 0, 1.2};
        c.motion.hardIron = {5, -3, 2};
        UnitCore core(c);
        const double k = c.motion.magStrength;
        std::array<double, 12> params{};
        for (int i = 0; i < 3; ++i) {
            params[4 * i] = 1 / (c.motion.softIron[4 * i] * k);
            params[9 + i] = -c.motion.hardIron[i] * params[4 * i];
        }
        QVERIFY(ask(core, CommandFrame::writeMagCalibration(params)).isEmpty());
        QVERIFY(core.calibration().magWritten);
        const double s = -MotionModel::Gravity * std::sqrt(0.5);
        for (int n = 0; n < 300; ++n) {
            const DecodedFrame f = frameAt(core, 40.0 * n / 300.0, std::uint64_t(n));
            const QVector<double> m = f.items[0x30], e = f.items[0x40];
            const QVector<double> g = expectedGravity(e[0], e[1]);
            QVERIFY(std::fabs(norm(m) - 1.0) < 1e-3);
            QVERIFY(std::fabs(g[0] * m[0] + g[1] * m[1] + g[2] * m[2] - s) < 2e-3);
            QVERIFY(std::fabs((f.items[0x31][0] - 5) / 1.1 / k - m[0]) < 1e-3); // raw: distorted
        }
    }

    void gyroBiasAttitudeAndHeadingCommandsChangeTheData()
    {
        UnitConfig c;
        c.motion.gyroNoise = 0.0;
        UnitCore core(c);
        ask(core, CommandFrame::writeGyroBias(0.05, -0.03, 0.02), 1.0);
        ask(core, CommandFrame::setAttitude(12.34, -5.0), 1.0);
        ask(core, CommandFrame::zeroHeading(), 1.0);
        QVERIFY(core.calibration().gyroWritten);
        QCOMPARE(core.calibration().attitudeSets, 1);
        QCOMPARE(core.calibration().headingZeros, 1);
        const DecodedFrame f = frameAt(core, 1.5, 2);
        QVERIFY(norm(f.items[0x20]) < 1e-5);
        const double want[3] = {12.34, -5.0, 0.0};
        for (int i = 0; i < 3; ++i)
            QVERIFY(std::fabs(f.items[0x40][i] - want[i]) < 1e-4);
        // The quaternion follows the reported angles.
        const auto q = MotionModel::quaternionFromEuler(12.34, -5.0, 0.0);
        for (int i = 0; i < 4; ++i)
            QVERIFY(std::fabs(f.items[0x41][i] - q[i]) < 1e-5);
    }

    void updateTransferSucceedsAndRestartsWithTheNewVersion()
    {
        UnitConfig c;
        UnitCore core(c);
        const QByteArray image = FirmwareImage::make("V2.9.0-20240301-ARV806 -A", 1000);
        double now = 1.0;
        bool quiet = false;
        auto transfer = [&] {
            QVector<int> statuses{status(core, UpdateFrames::start(image), now += 0.01)};
            quiet = !core.outputActive();
            for (int k = 1; k <= UpdateFrames::packetCount(image); ++k)
                statuses << status(core, UpdateFrames::data(image, k), now += 0.01);
            statuses << status(core, UpdateFrames::finish(), now += 0.01);
            return statuses;
        };
        QCOMPARE(transfer(), QVector<int>(UpdateFrames::packetCount(image) + 2, 0x00));
        QVERIFY(quiet); // no output while updating
        QCOMPARE(core.version(), QString("V2.9.0-20240301-ARV806 -A"));
        QCOMPARE(int(core.updatePhase()), int(UpdatePhase::Restarting));
        QVERIFY(!core.outputActive());
        // The finish frame again once the restart is over (its answer lost on the way), heard
        // before anything else moved the unit's clock on: acknowledged, nothing redone.
        QCOMPARE(status(core, UpdateFrames::finish(), now += c.restartSeconds + 0.1), 0x00);
        QVERIFY(core.outputActive());
        QCOMPARE(core.counters().updatesCompleted, std::uint64_t(1));
        now += 5;
        QCOMPARE(transfer().back(), 0xA0); // the same image again: same version
    }

    void updateErrorsAreAnsweredWithTheirStatus()
    {
        const QByteArray image = FirmwareImage::make("V3", 600); // P = 3
        QByteArray badCrc = image, badHeader = image;
        badCrc[600] = char(badCrc[600] ^ 0x40); // payload changed: CRC fails at the end
        badHeader[0] = 'X';
        double now = 0.0;
        UnitConfig c;
        bool active = false;
        auto run = [&](const QVector<QByteArray> &frames) {
            UnitCore core(c);
            QVector<int> got;
            for (const QByteArray &f : frames)
                got << status(core, f, now += 0.01);
            active = core.outputActive();
            return got;
        };
        const QByteArray start = UpdateFrames::start(image), d1 = UpdateFrames::data(image, 1);
        // Not started; then a resend of packet 1 and packet 3 out of order.
        QCOMPARE(run({d1, UpdateFrames::finish(), start, d1, d1, UpdateFrames::data(image, 3)}),
                 QVector<int>({0xA1, 0xA1, 0x00, 0x00, 0x00, 0xE4}));
        QVERIFY(active); // the error ends the update
        QCOMPARE(run({start, UpdateFrames::data(FirmwareImage::make("V3", 900), 1)}).back(),
                 0xE4); // packet count
        QCOMPARE(run({UpdateFrames::start(badCrc), UpdateFrames::data(badCrc, 1),
                      UpdateFrames::data(badCrc, 2), UpdateFrames::data(badCrc, 3)})
                     .back(),
                 0xE2);
        QCOMPARE(run({UpdateFrames::start(badHeader), start, d1, UpdateFrames::finish(),
                      CommandFrame::build(0xFF, 1, QByteArray(14, '\0'))}),
                 QVector<int>({0xE3, 0x00, 0x00, 0xFF, 0xE0})); // incomplete; malformed start
        c.faults.updateErrorStatus = 0xE1;
        c.faults.updateErrorFrame = 2;
        QCOMPARE(run({start, d1, UpdateFrames::data(image, 2)}), QVector<int>({0, 0, 0xE1}));
        c.faults = UnitFaults();
        c.faults.dropUpdateAckShare = 1.0;
        UnitCore core(c);
        QCOMPARE(status(core, start), -1);
        QCOMPARE(int(core.updatePhase()), int(UpdatePhase::Receiving));
    }

    void garblerPassesEqualRatesAndScramblesOthers()
    {
        UnitCore core{UnitConfig()};
        QByteArray stream;
        for (int i = 0; i < 200; ++i)
            stream += core.buildOutput(0.01 * i, std::uint64_t(i));
        QCOMPARE(LineGarbler::receive(stream, 460800, 460800), stream);
        for (int rx : {9600, 115200, 230400, 921600}) {
            const QByteArray heard = LineGarbler::receive(stream, 460800, rx);
            QVERIFY(!heard.isEmpty());
            QCOMPARE(framesOf(heard).size(), 0);
        }
        // A receiver at a quarter of the rate hears about a quarter of the bytes.
        const int quarter = LineGarbler::receive(stream, 460800, 115200).size();
        QVERIFY(quarter > stream.size() / 8 && quarter < stream.size() / 2);
        QVERIFY(LineGarbler::receive(stream, 460800, 0).isEmpty());
    }

    void byteFaultsActOnTheStream()
    {
        UnitConfig c;
        c.faults.garbageShare = 0.5;
        c.faults.bitFlipShare = 0.01;
        c.faults.dropAnswerShare = 1.0;
        UnitCore core(c);
        const QByteArray frame = core.buildOutput(0, 0);
        const QByteArray garbage = core.garbageAfter(frame.size(), 0);
        QVERIFY(std::abs(garbage.size() - frame.size() / 2) <= 1);
        // Garbage bytes cover the whole byte range, not only 0 to 127.
        QVERIFY(
            std::any_of(garbage.begin(), garbage.end(), [](char b) { return quint8(b) > 127; }));
        int corrupted = 0;
        for (int i = 0; i < 200; ++i) {
            QByteArray f = core.buildOutput(0, 0);
            core.flipBits(f);
            corrupted += framesOf(f).isEmpty() ? 1 : 0;
        }
        QVERIFY(corrupted > 100 && corrupted < 200); // 155 bytes × 1 %: most frames hit
        QVERIFY(ask(core, CommandFrame::queryVersion()).isEmpty());
        QCOMPARE(core.counters().answersDropped, std::uint64_t(1));
    }

    void firmwareImageChecks()
    {
        const QByteArray image = FirmwareImage::make("V9.9.9-20250101-ARV806 -A", 300);
        QByteArray bad = image;
        bad[100] = char(bad[100] + 1);
        QCOMPARE(int(FirmwareImage::check(image)), int(FirmwareImage::Check::Ok));
        QCOMPARE(int(FirmwareImage::check(image.left(200))), int(FirmwareImage::Check::BadSize));
        QCOMPARE(int(FirmwareImage::check(bad)), int(FirmwareImage::Check::BadCrc));
        QCOMPARE(FirmwareImage::version(image), QString("V9.9.9-20250101-ARV806 -A"));
        QCOMPARE(FirmwareImage::crc32("123456789", 9), 0xCBF43926u);
    }
};

QTEST_APPLESS_MAIN(TestUnitCore)
#include "tst_unitcore.moc"

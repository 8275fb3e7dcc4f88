// The simulated unit's behaviour without a line: answers, frames, physics, calibration,
// the update responder, the line garbler and the byte faults.

#include "SimTestSupport.h"

#include "protocol/Answer.h"
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
    QVector<DecodedFrame> frames;
    QVector<DecodedAnswer> answers;
    decodeStream(core.takeAnswers(), frames, answers);
    return answers;
}

int lastByte(const DecodedAnswer &a)
{
    return a.data.isEmpty() ? -1 : static_cast<std::uint8_t>(a.data.back());
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

// Rotates v from the navigation to the body frame with quaternion q (body → navigation).
QVector<double> bodyFromQuat(const QVector<double> &q, const QVector<double> &v)
{
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    // Rotation matrix C of q; body = Cᵀ·v.
    const double c[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                            {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                            {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    QVector<double> out(3, 0.0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i] += c[j][i] * v[j];
    return out;
}

QByteArray updateTransfer(UnitCore &core, const QByteArray &image, QVector<int> *statuses,
                          double &now)
{
    QByteArray answersAll;
    auto send = [&](const QByteArray &frame) {
        core.receive(frame, now);
        now += 0.01;
        const QByteArray a = core.takeAnswers();
        answersAll += a;
        for (const DecodedAnswer &d : answersOf(a, 0xFF))
            statuses->append(static_cast<std::uint8_t>(d.data.at(0)));
    };
    send(UpdateFrames::start(image));
    for (int k = 1; k <= UpdateFrames::packetCount(image); ++k)
        send(UpdateFrames::data(image, k));
    send(UpdateFrames::finish());
    return answersAll;
}

} // namespace

class TestUnitCore : public QObject
{
    Q_OBJECT
private slots:
    void answersTheIdentificationQueries()
    {
        UnitCore core{UnitConfig()};
        const QByteArray all = CommandFrame::queryProductId() + CommandFrame::queryVersion() +
                               CommandFrame::queryFrequency() + CommandFrame::queryAlgorithm();
        const QByteArray bytes = [&] {
            core.receive(all, 0.0);
            return core.takeAnswers();
        }();
        const auto *b = reinterpret_cast<const std::uint8_t *>(bytes.constData());
        int at = 0;
        QStringList seen;
        while (at < bytes.size()) {
            Answer a;
            QVERIFY(Answer::readAt(b + at, bytes.size() - at, a));
            switch (AnswerReader::kindOf(a)) {
            case AnswerReader::Kind::ProductId:
                QCOMPARE(AnswerReader::productIdText(a),
                         QString("41 52 56 38 30 36 5a 00 12 34 56 78 "));
                seen << "id";
                break;
            case AnswerReader::Kind::Version: {
                QCOMPARE(AnswerReader::versionText(a), QString("V2.8.7-20240105-ARV806 -A"));
                const auto ms = AnswerReader::splitVersion(AnswerReader::versionText(a));
                QCOMPARE(ms.model, QString("ARV806 "));
                QCOMPARE(ms.suffix, QString("A"));
                seen << "version";
                break;
            }
            case AnswerReader::Kind::Frequency:
                QCOMPARE(int(AnswerReader::frequencyStatus(a).status),
                         int(AnswerReader::Status::Value));
                QCOMPARE(AnswerReader::frequencyStatus(a).code, 8);
                seen << "frequency";
                break;
            case AnswerReader::Kind::Algorithm:
                QCOMPARE(int(AnswerReader::algorithmStatus(a).status),
                         int(AnswerReader::Status::Value));
                QCOMPARE(AnswerReader::algorithmStatus(a).code, 1);
                seen << "algorithm";
                break;
            default:
                QFAIL("unexpected answer");
            }
            at += a.totalLength();
        }
        QCOMPARE(seen, QStringList({"id", "version", "frequency", "algorithm"}));
    }

    void answersTheSetCommandsWithTheirStatus()
    {
        UnitCore core{UnitConfig()};
        // Frequency: success, then the new code on query; unsupported codes fail.
        auto a = ask(core, CommandFrame::setFrequency(200, "ARV806 ", "A"));
        QCOMPARE(a.size(), 1);
        QCOMPARE(a[0].cls, 0x03);
        QCOMPARE(lastByte(a[0]), 0x00);
        QCOMPARE(core.outputRateHz(), 200.0);
        QCOMPARE(lastByte(ask(core, CommandFrame::queryFrequency())[0]), 9);
        QCOMPARE(lastByte(ask(core, CommandFrame::build(0x03, 2, QByteArray(1, char(15))))[0]),
                 0xFF);
        QCOMPARE(lastByte(ask(core, CommandFrame::build(0x03, 2, QByteArray(1, char(0))))[0]),
                 0xFF);
        QCOMPARE(core.frequencyCode(), 9);
        // Code 10 is 400 Hz on this model.
        ask(core, CommandFrame::setFrequency(400, "ARV806 ", "A"));
        QCOMPARE(core.frequencyCode(), 10);
        QCOMPARE(core.outputRateHz(), 400.0);

        // Contents: one status byte.
        a = ask(core, CommandFrame::setContents(0x0090));
        QCOMPARE(a.size(), 1);
        QCOMPARE(a[0].data, QByteArray(1, '\0'));
        QCOMPARE(core.contentMask(), std::uint16_t(0x0090));

        // Algorithm mode: success for 1 … 5, failure otherwise; the query tells the mode.
        QCOMPARE(lastByte(ask(core, CommandFrame::setAlgorithmMode(2))[0]), 0x00);
        QCOMPARE(lastByte(ask(core, CommandFrame::queryAlgorithm())[0]), 2);
        QCOMPARE(lastByte(ask(core, CommandFrame::setAlgorithmMode(9))[0]), 0xFF);
        QCOMPARE(core.algorithmMode(), 2);

        // Baud, protocol and rate range: no answer, in effect at once.
        QVERIFY(ask(core, CommandFrame::setBaudRate(921600)).isEmpty());
        QCOMPARE(core.baudRate(), 921600);
        QVERIFY(ask(core, CommandFrame::setRateRange(2)).isEmpty());
        QCOMPARE(core.rateRange(), 2);
        QCOMPARE(core.outputRateHz(), 100.0); // the low range caps the rate
        QVERIFY(ask(core, CommandFrame::setOutputProtocol(2)).isEmpty());
        QCOMPARE(core.outputProtocol(), 2);
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
        core.receive(query.mid(3), 0.1);
        QCOMPARE(answersOf(core.takeAnswers(), 0x00).size(), 1);
        // A corrupted query is ignored.
        QByteArray bad = query;
        bad[5] = char(bad[5] ^ 1);
        QVERIFY(ask(core, bad, 1.0).isEmpty());
    }

    void framesCarryTheItemsOfTheMask()
    {
        UnitConfig c;
        UnitCore core(c);
        DecodedFrame f = frameAt(core, 1.0, 100);
        QCOMPARE(f.items.keys(), QList<int>({0x01, 0x10, 0x20, 0x30, 0x31, 0x40, 0x41, 0x50, 0x51,
                                             0x52, 0x60, 0x70, 0x80}));
        core.setPreciseLocation(true);
        core.setContentMask(ContentMask::Position | ContentMask::Quaternion);
        f = frameAt(core, 1.0, 101);
        QCOMPARE(f.items.keys(), QList<int>({0x41, 0x68}));
        QVERIFY(std::fabs(f.items[0x68][0] - c.motion.latitude) < 1e-3);
        core.setContentMask(ContentMask::Timestamp);
        f = frameAt(core, 2.5, 102);
        QCOMPARE(f.items.keys(), QList<int>({0x51, 0x52}));
        QCOMPARE(f.items[0x51][0], 2500000.0);
        QCOMPARE(f.items[0x52][0], 2500.0);
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
        for (int n = 0; n < 4000; ++n) {
            const double t = total * n / 4000.0;
            const DecodedFrame f = frameAt(core, t, static_cast<std::uint64_t>(n));
            const QVector<double> acc = f.items[0x10], e = f.items[0x40], q = f.items[0x41];
            // Acceleration = expected gravity of the reported attitude (no linear motion).
            const QVector<double> g = expectedGravity(e[0], e[1]);
            for (int i = 0; i < 3; ++i)
                QVERIFY2(std::fabs(acc[i] - g[i]) < 0.05, qPrintable(QString("t=%1").arg(t)));
            QVERIFY(std::fabs(norm(acc) - MotionModel::Gravity) < 0.05);
            // Unit quaternion that turns gravity the same way.
            QVERIFY(std::fabs(norm(q) - 1.0) < 1e-5);
            const QVector<double> gq = bodyFromQuat(q, {0, 0, MotionModel::Gravity});
            for (int i = 0; i < 3; ++i)
                QVERIFY(std::fabs(gq[i] - g[i]) < 1e-3);
            QVERIFY(e[0] >= -90.0 && e[0] <= 90.0);
            maxGyro = std::max(maxGyro, norm(f.items[0x20]));
            // Known field: the raw reading undone gives Cᵀ·h_n scaled by the strength.
            QVERIFY(std::fabs(f.items[0x01][0] - 25.0) < 3.0);
        }
        QVERIFY(maxGyro > 30.0); // it does turn
        // Same seed, same output; another seed, other noise.
        UnitCore again(c);
        QCOMPARE(frameAt(again, 5.0, 500).items[0x20], frameAt(core, 5.0, 500).items[0x20]);
        c.motion.seed = 2;
        UnitCore other(c);
        QVERIFY(frameAt(other, 5.0, 500).items[0x20] != frameAt(core, 5.0, 500).items[0x20]);
    }

    void gyroAtRestShowsItsBiasAndATurnIntegratesTo360Degrees()
    {
        UnitConfig c;
        UnitCore core(c);
        double mean[3] = {0, 0, 0};
        const int n = 200;
        for (int i = 0; i < n; ++i) {
            const QVector<double> w = frameAt(core, 0.01 * i, std::uint64_t(i)).items[0x20];
            for (int k = 0; k < 3; ++k)
                mean[k] += w[k] / n;
        }
        for (int k = 0; k < 3; ++k)
            QVERIFY(std::fabs(mean[k] - c.motion.gyroBias[k]) < 0.01);
        // The X turn: roll rate integrates to one full turn, with no spike at its ends.
        double angle = 0.0;
        const double dt = 0.001, t0 = c.motion.restSeconds;
        for (double t = t0 - 0.5; t < t0 + c.motion.turnSeconds + 0.5; t += dt) {
            angle += (core.reported(t, 0).truth.gyro[0] - c.motion.gyroBias[0]) * dt;
        }
        QVERIFY2(std::fabs(angle - 360.0) < 2.0, qPrintable(QString::number(angle)));
        // No step anywhere in the script (phase changes included).
        double last = core.reported(0.0, 0).truth.gyro[2];
        for (double t = 0.0; t < t0 + 3 * c.motion.turnSeconds + 10.0; t += 0.002) {
            const auto w = core.reported(t, 0).truth.gyro;
            QVERIFY2(norm({w[0], w[1], w[2]}) < 200.0, qPrintable(QString::number(t)));
            QVERIFY(std::fabs(w[2] - last) < 2.0);
            last = w[2];
        }
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
        const std::array<double, 12> params = {1 / (1.1 * k),
                                               0,
                                               0,
                                               0,
                                               1 / (0.9 * k),
                                               0,
                                               0,
                                               0,
                                               1 / (1.2 * k),
                                               -5 / (1.1 * k),
                                               3 / (0.9 * k),
                                               -2 / (1.2 * k)};
        QVERIFY(ask(core, CommandFrame::writeMagCalibration(params)).isEmpty());
        QVERIFY(core.calibration().magWritten);
        const double s = -MotionModel::Gravity * std::sqrt(0.5);
        for (int n = 0; n < 300; ++n) {
            const double t = 40.0 * n / 300.0;
            const DecodedFrame f = frameAt(core, t, std::uint64_t(n));
            const QVector<double> m = f.items[0x30], e = f.items[0x40];
            QVERIFY(std::fabs(norm(m) - 1.0) < 1e-3);
            const QVector<double> g = expectedGravity(e[0], e[1]);
            QVERIFY(std::fabs(g[0] * m[0] + g[1] * m[1] + g[2] * m[2] - s) < 2e-3);
            // The raw reading is the distorted field.
            const QVector<double> raw = f.items[0x31];
            QVERIFY(std::fabs((raw[0] - 5) / 1.1 / k - m[0]) < 1e-3);
        }
    }

    void gyroBiasAttitudeAndHeadingCommandsChangeTheData()
    {
        UnitConfig c;
        c.motion.gyroNoise = 0.0;
        UnitCore core(c);
        ask(core, CommandFrame::writeGyroBias(0.05, -0.03, 0.02), 1.0);
        QVERIFY(core.calibration().gyroWritten);
        const QVector<double> w = frameAt(core, 1.0, 1).items[0x20];
        for (double x : w)
            QVERIFY(std::fabs(x) < 1e-5);

        ask(core, CommandFrame::setAttitude(12.34, -5.0), 1.0);
        ask(core, CommandFrame::zeroHeading(), 1.0);
        QCOMPARE(core.calibration().attitudeSets, 1);
        QCOMPARE(core.calibration().headingZeros, 1);
        const DecodedFrame f = frameAt(core, 1.5, 2);
        QVERIFY(std::fabs(f.items[0x40][0] - 12.34) < 1e-4);
        QVERIFY(std::fabs(f.items[0x40][1] + 5.0) < 1e-4);
        QVERIFY(std::fabs(f.items[0x40][2]) < 1e-4);
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
        QVector<int> statuses;
        double now = 1.0;
        core.receive(UpdateFrames::start(image), now);
        QVERIFY(!core.outputActive()); // quiet while updating
        core.takeAnswers();
        statuses.clear();
        // Whole transfer from the start.
        UnitCore fresh(c);
        updateTransfer(fresh, image, &statuses, now);
        QCOMPARE(statuses, QVector<int>(UpdateFrames::packetCount(image) + 2, 0x00));
        QCOMPARE(fresh.version(), QString("V2.9.0-20240301-ARV806 -A"));
        QCOMPARE(int(fresh.updatePhase()), int(UpdatePhase::Restarting));
        QVERIFY(!fresh.outputActive());
        fresh.tick(now + c.restartSeconds + 0.1);
        QVERIFY(fresh.outputActive());
        QCOMPARE(fresh.counters().updatesCompleted, std::uint64_t(1));
        // The same image again: same version.
        statuses.clear();
        updateTransfer(fresh, image, &statuses, now += 5);
        QCOMPARE(statuses.back(), 0xA0);
    }

    void updateErrorsAreAnsweredWithTheirStatus()
    {
        const QByteArray image = FirmwareImage::make("V3", 600); // P = 3
        double now = 0.0;
        auto status = [&](UnitCore &core, const QByteArray &frame) {
            core.receive(frame, now += 0.01);
            const auto a = answersOf(core.takeAnswers(), 0xFF);
            return a.isEmpty() ? -1 : int(static_cast<std::uint8_t>(a.back().data.at(0)));
        };
        UnitConfig c;
        {
            UnitCore core(c);
            QCOMPARE(status(core, UpdateFrames::data(image, 1)), 0xA1); // not started
            QCOMPARE(status(core, UpdateFrames::finish()), 0xA1);
            QCOMPARE(status(core, UpdateFrames::start(image)), 0x00);
            QCOMPARE(status(core, UpdateFrames::data(image, 1)), 0x00);
            QCOMPARE(status(core, UpdateFrames::data(image, 1)), 0x00); // a resend
            QCOMPARE(status(core, UpdateFrames::data(image, 3)), 0xE4); // out of order
            QVERIFY(core.outputActive());                               // error ends it
        }
        {
            UnitCore core(c);
            status(core, UpdateFrames::start(image));
            QByteArray other = FirmwareImage::make("V3", 900);
            QCOMPARE(status(core, UpdateFrames::data(other, 1)), 0xE4); // packet count
        }
        {
            UnitCore core(c);
            QByteArray bad = image;
            bad[600] = char(bad[600] ^ 0x40); // payload changed: CRC fails at the end
            status(core, UpdateFrames::start(bad));
            status(core, UpdateFrames::data(bad, 1));
            status(core, UpdateFrames::data(bad, 2));
            QCOMPARE(status(core, UpdateFrames::data(bad, 3)), 0xE2);
        }
        {
            UnitCore core(c);
            QByteArray bad = image;
            bad[0] = 'X';
            QCOMPARE(status(core, UpdateFrames::start(bad)), 0xE3);
            status(core, UpdateFrames::start(image));
            status(core, UpdateFrames::data(image, 1));
            QCOMPARE(status(core, UpdateFrames::finish()), 0xFF); // incomplete
            // A malformed start frame.
            QCOMPARE(status(core, CommandFrame::build(0xFF, 1, QByteArray(14, '\0'))), 0xE0);
        }
        {
            c.faults.updateErrorStatus = 0xE1;
            c.faults.updateErrorFrame = 2;
            UnitCore core(c);
            status(core, UpdateFrames::start(image));
            QCOMPARE(status(core, UpdateFrames::data(image, 1)), 0x00);
            QCOMPARE(status(core, UpdateFrames::data(image, 2)), 0xE1);
        }
        {
            c.faults = UnitFaults();
            c.faults.dropUpdateAckShare = 1.0;
            UnitCore core(c);
            QCOMPARE(status(core, UpdateFrames::start(image)), -1);
            QCOMPARE(int(core.updatePhase()), int(UpdatePhase::Receiving));
        }
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
        QCOMPARE(int(FirmwareImage::check(image)), int(FirmwareImage::Check::Ok));
        QCOMPARE(FirmwareImage::version(image), QString("V9.9.9-20250101-ARV806 -A"));
        QCOMPARE(int(FirmwareImage::check(image.left(200))), int(FirmwareImage::Check::BadSize));
        QByteArray bad = image;
        bad[100] = char(bad[100] + 1);
        QCOMPARE(int(FirmwareImage::check(bad)), int(FirmwareImage::Check::BadCrc));
        QCOMPARE(FirmwareImage::crc32("123456789", 9), 0xCBF43926u);
    }
};

QTEST_APPLESS_MAIN(TestUnitCore)
#include "tst_unitcore.moc"

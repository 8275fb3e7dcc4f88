// The simulated unit on its pseudo-terminal, seen from a host: frames, rates, the content
// mask, line limits and a baud mismatch.

#include "SimTestSupport.h"

#include "protocol/CommandFrame.h"
#include "sim/SimulatedUnit.h"

#include <QtTest>

namespace {

UnitConfig restingUnit()
{
    UnitConfig c;
    c.motion.restSeconds = 1000.0;
    return c;
}

bool tidsContinuous(const QVector<DecodedFrame> &frames)
{
    for (int i = 1; i < frames.size(); ++i)
        if (frames[i].tid != (frames[i - 1].tid + 1) % 65536)
            return false;
    return true;
}

} // namespace

class TestSimLine : public QObject
{
    Q_OBJECT
private slots:
    void liveFramesOfAUnitAtRest()
    {
        SimulatedUnit unit(restingUnit());
        QVERIFY(unit.start());
        HostLine host;
        QVERIFY(host.open(unit.devicePath(), B460800));
        host.readFor(100);
        const QByteArray stream = host.readFor(2000);
        QVector<DecodedFrame> frames;
        QVector<DecodedAnswer> answers;
        int skipped = 0;
        decodeStream(stream, frames, answers, &skipped);
        // 100 Hz within a few percent; nothing but frames on the line.
        QVERIFY2(frames.size() >= 194 && frames.size() <= 206,
                 qPrintable(QString::number(frames.size())));
        QVERIFY(skipped < 160); // at most a cut frame at the start
        QVERIFY(tidsContinuous(frames));
        for (const DecodedFrame &f : frames) {
            QCOMPARE(f.items.size(), 13);
            QVERIFY(std::fabs(norm(f.items[0x10]) - 9.7936) < 0.05);
            QVERIFY(std::fabs(norm(f.items[0x41]) - 1.0) < 1e-5);
            const QVector<double> e = f.items[0x40];
            const auto q = MotionModel::quaternionFromEuler(e[0], e[1], e[2]);
            for (int i = 0; i < 4; ++i)
                QVERIFY(std::fabs(f.items[0x41][i] - q[i]) < 1e-5);
            QVERIFY(std::fabs(f.items[0x20][0] - 0.05) < 0.1); // gyro bias and noise at rest
        }
        QCOMPARE(unit.hostBaudRate(), 460800);
        QVERIFY(unit.hostConnected());
        unit.stop();
        unit.stop(); // harmless
        QVERIFY(!unit.isRunning());
    }

    void everyRateHonouredWhenItFits_data()
    {
        QTest::addColumn<int>("hz");
        QTest::addColumn<int>("mask");
        QTest::newRow("10 Hz, all") << 10 << 0x8CFF;
        QTest::newRow("50 Hz, all") << 50 << 0x8CFF;
        QTest::newRow("200 Hz, all") << 200 << 0x8CFF;
        QTest::newRow("500 Hz, accel") << 500 << 0x0080;
        QTest::newRow("1000 Hz, temperature") << 1000 << 0x0400;
        QTest::newRow("2000 Hz, temperature") << 2000 << 0x0400;
        // 39-byte frames: 78,000 of the line's 92,160 bytes a second.
        QTest::newRow("2000 Hz, temperature, accel, gyro") << 2000 << 0x04C0;
    }
    void everyRateHonouredWhenItFits()
    {
        QFETCH(int, hz);
        QFETCH(int, mask);
        UnitConfig c = restingUnit();
        c.baudRate = 921600;
        SimulatedUnit unit(c);
        QVERIFY(unit.setOutputRate(hz));
        unit.setContentMask(static_cast<std::uint16_t>(mask));
        QVERIFY(unit.start());
        HostLine host;
        QVERIFY(host.open(unit.devicePath(), B921600));
        host.readFor(100);
        const QVector<DecodedFrame> frames = framesOf(host.readFor(1000));
        const double tolerance = std::max(2.0, 0.03 * hz);
        QVERIFY2(std::fabs(frames.size() - hz) <= tolerance,
                 qPrintable(QString("%1 frames at %2 Hz").arg(frames.size()).arg(hz)));
        QVERIFY(tidsContinuous(frames));
        int items = 0;
        for (int bit = 0; bit < 16; ++bit)
            items += (mask >> bit) & 1;
        for (const DecodedFrame &f : frames.mid(0, 5))
            QVERIFY(f.items.size() >= items);
        QCOMPARE(unit.counters().framesSkipped, std::uint64_t(0));
    }

    void framesThatDoNotFitKeepTheLineBusyAndAreSkippedWithTheirTid_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("hz");
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("frameLength");
        QTest::newRow("115200, 1000 Hz, all") << 115200 << int(B115200) << 1000 << 0x8CFF << 155;
        QTest::newRow("921600, 2000 Hz, timestamps, temperature, accel, gyro")
            << 921600 << int(B921600) << 2000 << 0x84C0 << 51;
    }
    void framesThatDoNotFitKeepTheLineBusyAndAreSkippedWithTheirTid()
    {
        QFETCH(int, baud);
        QFETCH(int, speed);
        QFETCH(int, hz);
        QFETCH(int, mask);
        QFETCH(int, frameLength);
        UnitConfig c = restingUnit();
        c.baudRate = baud;
        SimulatedUnit unit(c);
        QVERIFY(unit.setOutputRate(hz));
        unit.setContentMask(static_cast<std::uint16_t>(mask));
        QVERIFY(unit.start());
        HostLine host;
        QVERIFY(host.open(unit.devicePath(), static_cast<speed_t>(speed)));
        host.readFor(100);
        const std::uint64_t skippedBefore = unit.counters().framesSkipped;
        const QByteArray stream = host.readFor(1000);
        const std::uint64_t skipped = unit.counters().framesSkipped - skippedBefore;
        const QVector<DecodedFrame> frames = framesOf(stream);
        // The line is kept busy: as many frames as it carries, never a backlog.
        const double capacity = baud / 10.0 / frameLength;
        QVERIFY2(
            std::fabs(frames.size() - capacity) <= std::max(2.0, 0.03 * capacity),
            qPrintable(QString("%1 frames, the line carries %2").arg(frames.size()).arg(capacity)));
        QVERIFY(stream.size() <= baud / 10 * 103 / 100);
        QVERIFY(std::fabs(double(skipped) - (hz - capacity)) <= 0.05 * hz);
        QVERIFY(!tidsContinuous(frames));
        for (int i = 1; i < frames.size(); ++i)
            QVERIFY(frames[i].tid != frames[i - 1].tid);
        // Nothing but whole frames of the expected length (a cut one at either end).
        QVERIFY(std::abs(stream.size() - frames.size() * frameLength) <= 2 * frameLength);
    }

    void aBaudMismatchGivesNoValidFrame()
    {
        SimulatedUnit unit(restingUnit());
        QVERIFY(unit.start());
        HostLine host;
        QVERIFY(host.open(unit.devicePath(), B115200));
        host.readFor(100);
        QByteArray stream = host.readFor(800);
        QVERIFY(stream.size() > 1000);
        QCOMPARE(framesOf(stream).size(), 0);
        QCOMPARE(unit.hostBaudRate(), 115200);

        // Commands sent at the wrong speed are not understood either.
        host.write(CommandFrame::queryVersion());
        host.readFor(200);
        QCOMPARE(unit.counters().commandsHandled, std::uint64_t(0));

        // At the right speed the unit is understood; a baud command switches it at once.
        QVERIFY(host.setSpeed(B460800));
        host.drain();
        QVERIFY(framesOf(host.readFor(300)).size() > 20);
        host.write(CommandFrame::setBaudRate(921600));
        host.readFor(100);
        QCOMPARE(unit.baudRate(), 921600);
        QCOMPARE(framesOf(host.readFor(500)).size(), 0);
        QVERIFY(host.setSpeed(B921600));
        host.drain();
        QVERIFY(framesOf(host.readFor(500)).size() > 40);
    }

    void unpacedSendsAsFastAsTheHostReads()
    {
        UnitConfig c = restingUnit();
        c.unpaced = true;
        SimulatedUnit unit(c);
        QVERIFY(unit.start());
        HostLine host;
        QVERIFY(host.open(unit.devicePath(), B460800));
        QElapsedTimer timer;
        timer.start();
        const QByteArray stream = host.readFor(1000);
        const QVector<DecodedFrame> frames = framesOf(stream);
        qInfo("unpaced: %d frames (%d bytes) in %lld ms", int(frames.size()), int(stream.size()),
              timer.elapsed());
        QVERIFY2(frames.size() > 1000, qPrintable(QString::number(frames.size())));
        QVERIFY(tidsContinuous(frames));
    }

    void restartsOnANewTerminalAndStopsWhileAHostListens()
    {
        auto unit = std::make_unique<SimulatedUnit>(restingUnit());
        QVERIFY(unit->start());
        QVERIFY(!unit->start()); // already running
        const QString first = unit->devicePath();
        unit->stop();
        QVERIFY(unit->start());
        HostLine host;
        QVERIFY(host.open(unit->devicePath(), B460800));
        QVERIFY(framesOf(host.readFor(300)).size() > 10);
        unit.reset(); // the destructor stops the thread
        host.readFor(200);
        QVERIFY(host.failed());
        Q_UNUSED(first);
    }
};

QTEST_APPLESS_MAIN(TestSimLine)
#include "tst_simline.moc"

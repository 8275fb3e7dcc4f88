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
    void liveFramesOfAUnitAtRestAfterARestart()
    {
        auto unit = std::make_unique<SimulatedUnit>(restingUnit());
        QVERIFY(unit->start());
        QVERIFY(!unit->start()); // already running
        unit->stop();
        unit->stop(); // harmless
        QVERIFY(!unit->isRunning());
        QVERIFY(unit->start()); // on a new terminal
        HostLine host;
        QVERIFY(host.open(unit->devicePath(), B460800));
        host.readFor(100);
        const Decoded d = decodeStream(host.readFor(2000));
        const QVector<DecodedFrame> &frames = d.frames;
        // 100 Hz within a few percent; nothing but frames on the line.
        QVERIFY2(frames.size() >= 194 && frames.size() <= 206,
                 qPrintable(QString::number(frames.size())));
        QVERIFY(d.skipped < 160); // at most a cut frame at the start
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
        QVERIFY(unit->hostBaudRate() == 460800 && unit->hostConnected());
        unit.reset(); // the destructor stops the thread while the host listens
        host.readFor(200);
        QVERIFY(host.failed());
    }

    // Content that fits is sent at the asked rate with every TID; content that does not
    // keeps the line busy with as many frames as it carries, skipping the rest with their TID.
    void pacing_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("hz");
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("frameLength");
        QTest::newRow("10 Hz, all") << 921600 << 10 << 0x8CFF << 155;
        QTest::newRow("200 Hz, all") << 921600 << 200 << 0x8CFF << 155;
        QTest::newRow("500 Hz, accel") << 921600 << 500 << 0x0080 << 21;
        QTest::newRow("2000 Hz, temperature") << 921600 << 2000 << 0x0400 << 11;
        // 39-byte frames: 78,000 of the line's 92,160 bytes a second.
        QTest::newRow("2000 Hz, temperature, accel, gyro") << 921600 << 2000 << 0x04C0 << 39;
        QTest::newRow("115200, 1000 Hz, all: over") << 115200 << 1000 << 0x8CFF << 155;
        QTest::newRow("2000 Hz, timestamps, temperature, accel, gyro: over")
            << 921600 << 2000 << 0x84C0 << 51;
    }
    void pacing()
    {
        QFETCH(int, baud);
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
        QVERIFY(host.open(unit.devicePath(), baud == 115200 ? B115200 : B921600));
        host.readFor(100);
        const double capacity = baud / 10.0 / frameLength,
                     expected = std::min<double>(hz, capacity);
        // A second, and at least 30 frames. A window in which the test was held up (no bytes
        // for 100 ms or three frame times: a busy machine stalled the unit's or the reader's
        // thread) tells nothing of the pacing: it is measured again, up to three times.
        const int windowMs = std::max(1000, int(30000 / expected));
        const double stallLimit = std::max(0.1, 3.0 / expected);
        UnitCounters before, after;
        QVector<QPair<double, int>> reads; // seconds since the start, bytes read by then
        QByteArray stream;
        double longestGap = 0.0;
        for (int attempt = 0; attempt < 3; ++attempt) {
            reads.clear();
            before = unit.counters();
            QElapsedTimer clock;
            clock.start();
            stream = host.readFor(windowMs, [&](const QByteArray &got) {
                reads.append({double(clock.nsecsElapsed()) * 1e-9, int(got.size())});
                return false;
            });
            after = unit.counters();
            longestGap = 0.0;
            for (int k = 1; k < reads.size(); ++k)
                longestGap = std::max(longestGap, reads[k].first - reads[k - 1].first);
            if (!reads.isEmpty() && longestGap <= stallLimit)
                break;
            qWarning("held up for %.0f ms: measuring again", longestGap * 1000);
        }
        QVERIFY2(longestGap <= stallLimit, "held up in every window");
        const QVector<DecodedFrame> frames = framesOf(stream);
        QVERIFY2(frames.size() >= 20, qPrintable(QString::number(frames.size())));
        // Nothing but whole frames of the expected length (a cut one at either end).
        QVERIFY(std::abs(stream.size() - frames.size() * frameLength) <= 2 * frameLength);

        // The rate, from the frames' arrival times rather than from their count in a window of
        // the host's clock (which the scheduling of two threads on a busy machine blurs by
        // tens of milliseconds at either end). Frame i leaves the unit at t0 + i / rate and
        // arrives a lag later; the lag is never negative, and small for some frames of any
        // stretch. So the smallest (arrival - i / expected) of the first and of the last third
        // tell the rate: they drift apart by the difference of the rates over their distance.
        auto arrival = [&](const DecodedFrame &f) {
            for (const auto &r : reads)
                if (r.second >= f.end)
                    return r.first;
            return reads.last().first;
        };
        const int third = frames.size() / 3;
        int first = 0, last = frames.size() - 1;
        double firstRest = 1e9, lastRest = 1e9;
        for (int i = 0; i < frames.size(); ++i) {
            const double rest = arrival(frames[i]) - i / expected;
            if (i < third && rest < firstRest)
                firstRest = rest, first = i;
            if (i >= frames.size() - third && rest < lastRest)
                lastRest = rest, last = i;
        }
        const double span = (last - first) / expected; // s, at the expected rate
        const double rate = (last - first) / (span + lastRest - firstRest);
        QVERIFY2(std::fabs(rate - expected) <= 0.03 * expected + 0.002 / span * expected,
                 qPrintable(QString("%1 frames/s, %2 expected").arg(rate).arg(expected)));

        // Within the unit, over its own ticks: what fits is sent, every TID; what does not is
        // skipped, as many as the line has no room for.
        const double sent = double(after.framesSent - before.framesSent),
                     skipped = double(after.framesSkipped - before.framesSkipped);
        if (hz < capacity) {
            QVERIFY(tidsContinuous(frames));
            QCOMPARE(skipped, 0.0);
            return;
        }
        QVERIFY2(std::fabs(sent / (sent + skipped) - capacity / hz) <= 0.03,
                 qPrintable(QString("%1 sent, %2 skipped").arg(sent).arg(skipped)));
        QVERIFY(!tidsContinuous(frames));
        for (int i = 1; i < frames.size(); ++i)
            QVERIFY(frames[i].tid != frames[i - 1].tid);
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
        host.readFor(200); // an absence: the unit would take the command within a few ms
        QCOMPARE(unit.counters().commandsHandled, std::uint64_t(0));

        // At the right speed the unit is understood; a baud command switches it at once.
        QVERIFY(host.setSpeed(B460800));
        host.drain();
        QVERIFY(framesOf(host.readFor(300)).size() > 20);
        host.write(CommandFrame::setBaudRate(921600));
        QVERIFY(QTest::qWaitFor(
            [&] {
                host.readFor(5);
                return unit.baudRate() == 921600;
            },
            2000));
        host.readFor(100); // what was on its way at the old speed
        QCOMPARE(framesOf(host.readFor(500)).size(), 0);
        QVERIFY(host.setSpeed(B921600));
        host.drain();
        QVERIFY(framesOf(host.readFor(500)).size() > 40);
    }

    // What the host writes crosses the line at the host's rate before the unit hears it: the
    // last of 2400 bytes of queries is answered after 208 ms at 115200 baud, 26 ms at 921600.
    void theHostsBytesTakeTheirLineTime_data()
    {
        QTest::addColumn<int>("baud");
        QTest::newRow("115200") << 115200;
        QTest::newRow("921600") << 921600;
    }
    void theHostsBytesTakeTheirLineTime()
    {
        QFETCH(int, baud);
        UnitConfig c = restingUnit();
        c.baudRate = baud;
        c.frequencyCode = 1; // 1 Hz: the answers are not held up behind frames
        SimulatedUnit unit(c);
        QVERIFY(unit.start());
        HostLine host;
        QVERIFY(host.open(unit.devicePath(), baud == 115200 ? B115200 : B921600));
        host.readFor(100);
        QByteArray queries;
        int count = 0;
        for (; queries.size() < 2400; ++count)
            queries += CommandFrame::queryProductId();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(host.write(queries));
        // The unit may hear the first queries early (it reads what has arrived so far), but
        // the last one only once every byte has crossed the line.
        const QByteArray got = host.readFor(2000, [count](const QByteArray &bytes) {
            return answersOf(bytes, 0x00).size() >= count;
        });
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(answersOf(got, 0x00).size(), count);
        const qint64 lineMs = qint64(queries.size()) * 10 * 1000 / baud;
        QVERIFY2(elapsed >= lineMs - 2, qPrintable(QString("%1 ms").arg(elapsed)));
    }

    void unpacedSendsAsFastAsTheHostReads()
    {
        UnitConfig c = restingUnit();
        c.unpaced = true;
        SimulatedUnit unit(c);
        QVERIFY(unit.start());
        HostLine host;
        QVERIFY(host.open(unit.devicePath(), B460800));
        const QVector<DecodedFrame> frames = framesOf(host.readFor(1000));
        QVERIFY2(frames.size() > 1000, qPrintable(QString::number(frames.size())));
        QVERIFY(tidsContinuous(frames));
    }
};

QTEST_APPLESS_MAIN(TestSimLine)
#include "tst_simline.moc"

// The sample collectors of the magnetometer calibration and the gyro-bias estimation, fed by
// real parse passes.
#include "calib/CalibrationCollector.h"
#include "calib/GyroBiasCollector.h"
#include "protocol/FrameParser.h"
#include "tests/support/FrameBytes.h"

#include <QLoggingCategory>
#include <QtTest>

using namespace FrameBytes;

namespace {

QByteArray gyroFrames(int tid, int count)
{
    QByteArray chunk;
    for (int i = 0; i < count; ++i)
        chunk += frame(tid + i, item3(0x20, 1000 * i, 2000 * i, -3000 * i));
    return chunk;
}

} // namespace

class TestCollectors : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("arv.calib.debug=false"));
    }

    // One entry per magnetic-strength item; attitude and angular velocity only where the pass
    // holds as many, matched by index.
    void calibrationTakesOneEntryPerStrengthItem()
    {
        FrameParser p;
        CalibrationCollector c;
        const QByteArray full = item3(0x31, 1000, -2000, 3000) + item3(0x40, 1000000, 2000000, 0) +
                                item3(0x20, 5000000, 0, 0);
        p.feed(frame(7, full));
        c.collect(p.passSeries()); // not collecting
        QVERIFY(c.series().magX.isEmpty());

        c.setCollecting(true);
        p.feed(frame(8, full) + frame(9, item3(0x31, 4000, 0, 0)) + frame(10, item(0x01, le16(0))));
        c.collect(p.passSeries());
        const CalibrationSeries &s = c.series();
        QCOMPARE(s.tid, (QVector<double>{8, 9}));
        QCOMPARE(s.magX, (QVector<double>{1.0, 4.0}));
        QCOMPARE(s.magY, (QVector<double>{-2.0, 0.0}));
        QCOMPARE(s.roll, (QVector<double>{2.0})); // pitch, roll, yaw on the wire
        QCOMPARE(s.pitch, (QVector<double>{1.0}));
        QCOMPARE(s.gyroX, (QVector<double>{5.0}));

        p.feed(frame(11, item(0x01, le16(0)))); // no strength item: nothing
        c.collect(p.passSeries());
        QCOMPARE(s.magX.size(), 2);
        c.clear();
        QVERIFY(s.tid.isEmpty() && s.magZ.isEmpty() && s.gyroZ.isEmpty());
    }

    // The cap is tested before each pass: one second takes 300 values and may overrun by the
    // pass that crosses it; a second start keeps what was collected.
    void gyroBiasStopsAfterThePassThatCrossesTheCap()
    {
        FrameParser p;
        GyroBiasCollector g;
        p.feed(gyroFrames(0, 60));
        g.collect(p.passSeries());
        QVERIFY(g.samples().isEmpty()); // not started

        g.start(1);
        for (int pass = 0; pass < 3; ++pass) {
            p.feed(gyroFrames(100 * pass, 60));
            g.collect(p.passSeries());
        }
        QCOMPARE(g.samples().size(), 360);
        QCOMPARE(g.samples().mid(3, 3), (QVector<double>{0.001, 0.002, -0.003}));

        g.start(2); // more time: collecting goes on where it was
        p.feed(gyroFrames(0, 60));
        g.collect(p.passSeries());
        QCOMPARE(g.samples().size(), 540);
        g.stop();
        g.collect(p.passSeries());
        QCOMPARE(g.samples().size(), 540);
        QVERIFY(!g.isCollecting() && g.seconds() == 2);
    }
};

QTEST_GUILESS_MAIN(TestCollectors)
#include "tst_collectors.moc"

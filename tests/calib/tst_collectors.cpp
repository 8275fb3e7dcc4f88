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

    // An estimation spans its duration at the unit's rate: the buffer takes seconds x rate
    // triples, triple by triple (never one more, even from a pass that crosses the limit),
    // and a new start drops what an earlier one collected.
    void gyroBiasTakesTheDurationAtTheUnitsRate_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("limit");
        QTest::newRow("1 s at 100 Hz") << 1 << 100.0 << 100;
        QTest::newRow("2 s at 50 Hz") << 2 << 50.0 << 100;
        QTest::newRow("1 s, rate unknown: the ceiling") << 1 << 0.0 << 2000;
    }
    void gyroBiasTakesTheDurationAtTheUnitsRate()
    {
        QFETCH(int, seconds);
        QFETCH(double, rate);
        QFETCH(int, limit);
        FrameParser p;
        GyroBiasCollector g;
        p.feed(gyroFrames(0, 60));
        g.collect(p.passSeries());
        QVERIFY(g.samples().isEmpty()); // not started

        g.start(seconds, rate);
        QCOMPARE(g.tripleLimit(), limit);
        for (int pass = 0; pass * 60 < limit + 120; ++pass) {
            p.feed(gyroFrames(100 * pass, 60));
            g.collect(p.passSeries());
        }
        QCOMPARE(g.samples().size(), 3 * limit);
        QVERIFY(g.isFull());
        QCOMPARE(g.samples().mid(3, 3), (QVector<double>{0.001, 0.002, -0.003}));

        g.start(seconds, rate); // a new estimation: the old samples go
        QVERIFY(g.samples().isEmpty() && g.isCollecting());
        p.feed(gyroFrames(0, 60));
        g.collect(p.passSeries());
        QCOMPARE(g.samples().size(), 3 * std::min(60, limit));
        g.stop();
        g.collect(p.passSeries());
        QCOMPARE(g.samples().size(), 3 * std::min(60, limit)); // kept, not growing
        QVERIFY(!g.isCollecting() && g.seconds() == seconds);
    }
};

QTEST_GUILESS_MAIN(TestCollectors)
#include "tst_collectors.moc"

#include "serial/LinkRateMeter.h"

#include <QtTest>

class TestLinkRate : public QObject
{
    Q_OBJECT
private slots:
    // Each row: counters and elapsed time of one tick after a tick at (1000 frames, 50000
    // bytes), and the rates shown.
    void ratesAreTheGrowthOverTheTick_data()
    {
        QTest::addColumn<quint64>("frames");
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<double>("framesPerSecond");
        QTest::addColumn<double>("bytesPerSecond");
        QTest::newRow("one second")
            << quint64(3000) << quint64(150000) << qint64(1000) << 2000.0 << 100000.0;
        QTest::newRow("a late tick")
            << quint64(2000) << quint64(60000) << qint64(4000) << 250.0 << 2500.0;
        QTest::newRow("no time") << quint64(3000) << quint64(150000) << qint64(0) << 0.0 << 0.0;
        QTest::newRow("parser reset")
            << quint64(10) << quint64(900000) << qint64(1000) << 0.0 << 0.0;
    }

    void ratesAreTheGrowthOverTheTick()
    {
        QFETCH(quint64, frames);
        QFETCH(quint64, bytes);
        QFETCH(qint64, ms);
        QFETCH(double, framesPerSecond);
        QFETCH(double, bytesPerSecond);
        LinkRateMeter m;
        m.sample(1000, 50000, 1000);
        m.sample(frames, bytes, ms);
        QCOMPARE(m.framesPerSecond(), framesPerSecond);
        QCOMPARE(m.bytesPerSecond(), bytesPerSecond);
        // A new session counts from 0 again.
        m.restart();
        QCOMPARE(m.framesPerSecond(), 0.0);
        m.sample(500, 2000, 500);
        QCOMPARE(m.framesPerSecond(), 1000.0);
        QCOMPARE(m.bytesPerSecond(), 4000.0);
    }
};

QTEST_GUILESS_MAIN(TestLinkRate)
#include "tst_linkrate.moc"

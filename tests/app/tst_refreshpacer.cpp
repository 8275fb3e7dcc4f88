#include "app/RefreshPacer.h"
#include "tests/support/Waits.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

class TestRefreshPacer : public QObject
{
    Q_OBJECT
private slots:
    void manyRequestsGiveOneDueAndLaterRequestsAnother()
    {
        RefreshPacer pacer;
        QSignalSpy due(&pacer, &RefreshPacer::due);
        for (int i = 0; i < 100; ++i)
            pacer.request();
        QVERIFY(pacer.isPending());
        QTRY_COMPARE(due.count(), 1);
        // Nothing new: nothing pending, and no further refresh for a few intervals.
        QVERIFY(!pacer.isPending());
        QVERIFY(!TestWaits::happensWithin(3 * RefreshPacer::MinIntervalMs,
                                          [&] { return due.count() > 1; }));
        pacer.request(); // new data after the refresh: it is not lost
        QTRY_COMPARE(due.count(), 2);
    }

    void dueFollowsTheRefreshCost()
    {
        RefreshPacer pacer;
        QCOMPARE(pacer.intervalMs(), RefreshPacer::MinIntervalMs);
        for (int i = 0; i < 200; ++i)
            pacer.noteRefreshCost(20.0); // a software-rendered OpenGL window
        // About five times the cost (a fifth of a core), in whole display frames.
        const int interval = pacer.intervalMs();
        QVERIFY2(interval >= 66 && interval <= 167, qPrintable(QString::number(interval)));
        const double frames = interval / (1000.0 / 60.0);
        QVERIFY(qAbs(frames - qRound(frames)) * (1000.0 / 60.0) < 1.0);
        // Single slow or quick refreshes and small changes of the cost keep the rate.
        for (double cost : {4.0, 18.0, 12.0, 20.0})
            pacer.noteRefreshCost(cost);
        QCOMPARE(pacer.intervalMs(), interval);
        pacer.noteRefreshCost(std::numeric_limits<double>::quiet_NaN());
        pacer.noteRefreshCost(-5.0);
        QCOMPARE(pacer.intervalMs(), interval);
        pacer.noteRefreshCost(10000.0);
        QCOMPARE(pacer.intervalMs(), RefreshPacer::MaxIntervalMs);
        for (int i = 0; i < 200; ++i)
            pacer.noteRefreshCost(1.0);
        QCOMPARE(pacer.intervalMs(), RefreshPacer::MinIntervalMs);
        // Drawing never takes more than a fifth of a core: 4 ms a refresh means 30 a second.
        for (int i = 0; i < 200; ++i)
            pacer.noteRefreshCost(4.0);
        QCOMPARE(pacer.intervalMs(), 33);
    }

    void duesAreSpacedByTheInterval()
    {
        RefreshPacer pacer;
        for (int i = 0; i < 200; ++i)
            pacer.noteRefreshCost(16.0);
        const int interval = pacer.intervalMs();
        QVERIFY(interval >= 50);
        QElapsedTimer clock;
        QVector<qint64> at;
        connect(&pacer, &RefreshPacer::due, this, [&] { at << clock.elapsed(); });
        clock.start();
        pacer.request();
        QTRY_COMPARE(at.size(), 1);
        pacer.request();
        QTRY_COMPARE(at.size(), 2);
        QVERIFY2(at[1] - at[0] >= interval - 1, qPrintable(QString::number(at[1] - at[0])));
        pacer.request();
        pacer.cancel();
        QVERIFY(!pacer.isPending());
        // The cancelled refresh does not come later either: not within two intervals.
        QVERIFY(!TestWaits::happensWithin(2 * interval, [&] { return at.size() > 2; }));
    }
};

QTEST_GUILESS_MAIN(TestRefreshPacer)
#include "tst_refreshpacer.moc"

#include "tests/support/Waits.h"
#include "views/AttitudeMath.h"
#include "views/RedrawThrottle.h"
#include "views/ScrollingTimeline.h"

#include <QtTest>
#include <cmath>
#include <limits>

class TestViewsLogic : public QObject
{
    Q_OBJECT
private slots:
    void timelineStartsAtZeroAndAdvancesByElapsedSeconds()
    {
        ScrollingTimeline t;
        QCOMPARE(t.xPositions().size(), 1000);
        QCOMPARE(t.xPositions().at(150), 1.5);
        QCOMPARE(t.xPositions().last(), 9.99);
        QVERIFY(t.keys().isEmpty());
        QCOMPARE(t.tickPositions(), (QVector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        t.advance(250);
        t.advance(1000);
        QCOMPARE(t.keys(), t.xPositions());
        QVERIFY(qFuzzyCompare(t.keys().first(), 1.25));
        QVERIFY(qFuzzyCompare(t.keys().last(), 11.24));
        for (int i = 0; i < 10; ++i)
            QCOMPARE(t.tickPositions().at(i), t.xPositions().at(i * 100));
    }

    void timelineLengthChangesStayInBounds()
    {
        ScrollingTimeline t;
        t.advance(500);
        t.setDisplayLength(1200); // longer: continues 0.01 s apart
        QCOMPARE(t.xPositions().size(), 1200);
        QVERIFY(qFuzzyCompare(t.xPositions().at(1100) - t.xPositions().at(999), 1.01));
        t.setDisplayLength(5); // shorter than ten: one tick per point, never a zero step
        t.advance(10);
        QCOMPARE(t.keys().size(), 5);
        QCOMPARE(t.tickPositions().size(), 5);
        t.setDisplayLength(-3);
        t.advance(10);
        QVERIFY(t.keys().isEmpty());
        QVERIFY(t.tickPositions().isEmpty());
    }

    void boundsOverSeveralSeries()
    {
        const QVector<double> empty;
        const SeriesBounds none = seriesBounds({&empty, &empty});
        QVERIFY(none.lower == 0.0 && none.upper == 0.0);
        const QVector<double> a{3, 7}, b{-2, std::numeric_limits<double>::quiet_NaN(), 5};
        const SeriesBounds both = seriesBounds({&empty, &a, &b});
        QVERIFY(both.lower == -2.0 && both.upper == 7.0);
        const QVector<double> positive{4, 6};
        QCOMPARE(seriesBounds({&positive}).lower, 4.0); // not pulled to 0 by the start value
    }

    void copiedSeriesDoNotShareTheOwnersStorage()
    {
        QVector<double> owner{1, 2, 3};
        QVector<double> copy;
        copySeries(copy, owner);
        QCOMPARE(copy, owner);
        QVERIFY(copy.constData() != owner.constData());
    }

    void throttleCoalescesABurstIntoOneRedraw()
    {
        int redraws = 0;
        RedrawThrottle throttle([&] { ++redraws; });
        for (int i = 0; i < 100; ++i)
            throttle.request();
        QCOMPARE(redraws, 0); // never from inside request()
        QTRY_COMPARE(redraws, 1);
        // Nothing left pending, and no second redraw for a few intervals.
        QVERIFY(!throttle.isPending());
        QVERIFY(!TestWaits::happensWithin(3 * RedrawThrottle::frameIntervalMs,
                                          [&] { return redraws > 1; }));
        throttle.request(); // newer data after the redraw is not lost
        QTRY_COMPARE(redraws, 2);
    }

    void throttleFlushAndCancel()
    {
        int redraws = 0;
        RedrawThrottle throttle([&] { ++redraws; });
        throttle.request();
        throttle.flush();
        QCOMPARE(redraws, 1);
        throttle.flush(); // nothing pending
        QCOMPARE(redraws, 1);
        throttle.request();
        throttle.cancel();
        QVERIFY(!throttle.isPending());
        // The cancelled redraw does not come later either (a few intervals).
        QVERIFY(!TestWaits::happensWithin(3 * RedrawThrottle::frameIntervalMs,
                                          [&] { return redraws > 1; }));
    }

    void modelRotationMapsTheUnitAxes_data()
    {
        QTest::addColumn<QVector<double>>("q");
        QTest::addColumn<bool>("rotate");
        QTest::addColumn<double>("degrees");
        QTest::addColumn<QVector<double>>("axis"); // direction only
        const double h = 0.7071068;
        const QVector<double> none{0, 0, 0};
        // Identity, q0 rounded beyond +-1 and a zero quaternion leave the box unturned.
        QTest::newRow("identity") << QVector<double>{1, 0, 0, 0} << false << 0.0 << none;
        QTest::newRow("q0 > 1") << QVector<double>{1.000001, 0.0001, 0, 0} << false << 0.0 << none;
        QTest::newRow("q0 < -1") << QVector<double>{-1.000001, 0, 0, 0.001} << false << 0.0 << none;
        QTest::newRow("q0 = -1") << QVector<double>{-1, 0, 0, 0} << false << 0.0 << none;
        QTest::newRow("zero") << QVector<double>{0, 0, 0, 0} << false << 0.0 << none;
        QTest::newRow("axis 3") << QVector<double>{h, 0, 0, h} << true << 90.0
                                << QVector<double>{0, 1, 0};
        QTest::newRow("axis 1") << QVector<double>{h, h, 0, 0} << true << 90.0
                                << QVector<double>{-1, 0, 0};
        QTest::newRow("axis 2") << QVector<double>{h, 0, h, 0} << true << 90.0
                                << QVector<double>{0, 0, 1};
    }

    void modelRotationMapsTheUnitAxes()
    {
        QFETCH(QVector<double>, q);
        QFETCH(bool, rotate);
        QFETCH(double, degrees);
        QFETCH(QVector<double>, axis);
        const AttitudeMath::AxisAngle r = AttitudeMath::modelRotation(q[0], q[1], q[2], q[3]);
        QCOMPARE(r.rotate, rotate);
        QVERIFY(std::isfinite(r.degrees) && std::isfinite(r.x) && std::isfinite(r.y) &&
                std::isfinite(r.z));
        if (!rotate)
            return;
        QVERIFY(std::abs(r.degrees - degrees) < 0.01);
        const double n = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
        QVERIFY(std::abs(r.x / n - axis[0]) + std::abs(r.y / n - axis[1]) +
                    std::abs(r.z / n - axis[2]) <
                3e-6);
    }

    // The turn between two attitudes, whatever the sign and the norm of the quaternions; and
    // the smallest turn worth drawing, a quarter of a pixel at a corner of the box.
    void turnBetweenAttitudes_data()
    {
        QTest::addColumn<QVector<double>>("a");
        QTest::addColumn<QVector<double>>("b");
        QTest::addColumn<double>("degrees");
        const double h = 0.7071068;
        QTest::newRow("same") << QVector<double>{h, 0, 0, h} << QVector<double>{h, 0, 0, h} << 0.0;
        QTest::newRow("q and -q") << QVector<double>{h, h, 0, 0} << QVector<double>{-h, -h, 0, 0}
                                  << 0.0;
        QTest::newRow("90 degrees")
            << QVector<double>{1, 0, 0, 0} << QVector<double>{h, 0, 0, h} << 90.0;
        QTest::newRow("not normalised")
            << QVector<double>{2, 0, 0, 0} << QVector<double>{0, 0, 3, 0} << 180.0;
        QTest::newRow("zero") << QVector<double>{0, 0, 0, 0} << QVector<double>{1, 0, 0, 0} << 0.0;
    }

    void turnBetweenAttitudes()
    {
        QFETCH(QVector<double>, a);
        QFETCH(QVector<double>, b);
        QFETCH(double, degrees);
        const double turn = AttitudeMath::turnBetween(a.constData(), b.constData());
        QVERIFY2(std::abs(turn * 180.0 / M_PI - degrees) < 1e-4, qPrintable(QString::number(turn)));
    }

    void visibleTurnFollowsTheSceneHeight()
    {
        // 400 pixels high: a corner 1.236 units out, 3.76 units from the camera, moves by a
        // quarter of a pixel for about 0.09 degrees.
        const double turn = AttitudeMath::visibleTurn(400) * 180.0 / M_PI;
        QVERIFY2(turn > 0.07 && turn < 0.11, qPrintable(QString::number(turn)));
        QCOMPARE(AttitudeMath::visibleTurn(800), AttitudeMath::visibleTurn(400) / 2);
        QVERIFY(std::isfinite(AttitudeMath::visibleTurn(0)));
    }
};

QTEST_GUILESS_MAIN(TestViewsLogic)
#include "tst_views_logic.moc"

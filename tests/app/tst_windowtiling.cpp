#include "app/WindowTiling.h"

#include <QtTest>

using WindowTiling::Window;
Q_DECLARE_METATYPE(QVector<Window>)

class TestWindowTiling : public QObject
{
    Q_OBJECT
private slots:
    void share_data()
    {
        QTest::addColumn<QVector<int>>("preferred");
        QTest::addColumn<QVector<int>>("minimum");
        QTest::addColumn<int>("total");
        QTest::addColumn<QVector<int>>("expected");
        QTest::newRow("in proportion")
            << QVector<int>{1, 3} << QVector<int>{0, 0} << 100 << QVector<int>{25, 75};
        QTest::newRow("a minimum holds")
            << QVector<int>{1, 3} << QVector<int>{40, 0} << 100 << QVector<int>{40, 60};
        QTest::newRow("rounding left over")
            << QVector<int>{1, 1, 1} << QVector<int>{0, 0, 0} << 100 << QVector<int>{33, 33, 34};
        QTest::newRow("minimums too large")
            << QVector<int>{1, 1} << QVector<int>{60, 70} << 100 << QVector<int>{60, 70};
    }

    void share()
    {
        QFETCH(QVector<int>, preferred);
        QFETCH(QVector<int>, minimum);
        QFETCH(int, total);
        QFETCH(QVector<int>, expected);
        QCOMPARE(WindowTiling::share(preferred, minimum, total), expected);
    }

    void tile_data()
    {
        QTest::addColumn<QVector<Window>>("windows");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QVector<QRect>>("expected"); // empty: only the general checks
        QTest::addColumn<bool>("inside");
        QTest::addColumn<int>("alone"); // a window that has the whole height of a column
        const Window small{{200, 100}, {600, 250}};
        // Sizes of the plot windows in their frames.
        const Window plot{{332, 198}, {932, 258}};
        const Window track{{332, 172}, {932, 232}};
        const Window sensors{{572, 511}, {932, 691}};
        QTest::newRow("one fills the area") << QVector<Window>{small} << QRect(0, 0, 1000, 600)
                                            << QVector<QRect>{QRect(0, 0, 1000, 600)} << true << 0;
        QTest::newRow("four alike: two columns of two")
            << QVector<Window>{small, small, small, small} << QRect(0, 0, 1000, 700)
            << QVector<QRect>{QRect(0, 0, 500, 350), QRect(0, 350, 500, 350),
                              QRect(500, 0, 500, 350), QRect(500, 350, 500, 350)}
            << true << -1;
        // The three-plot window gets a column of its own, tall enough for its plots, also
        // where the area is narrower (the docks wider).
        for (int width : {1069, 955})
            QTest::addRow("plots, %d wide", width)
                << QVector<Window>{plot, sensors, plot, track} << QRect(0, 0, width, 695)
                << QVector<QRect>{} << true << 1;
        // The wide clock and the sensor plots would not fit side by side: they share a column.
        const Window clock{{747, 110}, {747, 110}};
        const Window view3d{{82, 203}, {432, 400}};
        QTest::newRow("wide and narrow")
            << QVector<Window>{view3d, plot, sensors, clock} << QRect(0, 0, 1100, 695)
            << QVector<QRect>{} << true << -1;
        QTest::newRow("more than fits") << QVector<Window>(6, Window{{400, 300}, {500, 400}})
                                        << QRect(0, 0, 800, 600) << QVector<QRect>{} << false << -1;
    }

    // Besides the expected places: no window below its minimum, none over another, and all
    // inside the area where the row says they fit.
    void tile()
    {
        QFETCH(QVector<Window>, windows);
        QFETCH(QRect, area);
        QFETCH(QVector<QRect>, expected);
        QFETCH(bool, inside);
        QFETCH(int, alone);
        const QVector<QRect> rects = WindowTiling::tile(windows, area);
        QCOMPARE(rects.size(), windows.size());
        if (!expected.isEmpty())
            QCOMPARE(rects, expected);
        if (alone >= 0)
            QCOMPARE(rects[alone].height(), area.height());
        for (int i = 0; i < rects.size(); ++i) {
            QVERIFY(rects[i].width() >= windows[i].minimum.width());
            QVERIFY(rects[i].height() >= windows[i].minimum.height());
            QVERIFY(rects[i].left() >= area.left() && rects[i].top() >= area.top());
            if (inside)
                QVERIFY2(area.contains(rects[i]), qPrintable(QString::number(i)));
            for (int j = i + 1; j < rects.size(); ++j)
                QVERIFY(!rects[i].intersects(rects[j]));
        }
    }
};

QTEST_GUILESS_MAIN(TestWindowTiling)
#include "tst_windowtiling.moc"

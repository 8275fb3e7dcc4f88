#include "common/Language.h"
#include "views/FixedTimeTicker.h"
#include "views/LocationQWidget.h"
#include "views/RealLocationQWidget.h"
#include "views/imuWidget.h"

#include <QCheckBox>
#include <QtTest>

namespace {

QVector<double> filled(int n, double value)
{
    return QVector<double>(n, value);
}

QVector<double> graphValues(QCPGraph *graph)
{
    QVector<double> values;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        values << it->value;
    return values;
}

bool near(double a, double b)
{
    return std::abs(a - b) < 1e-9;
}

} // namespace

class TestTimePlots : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Language::setChinese(false); }

    void attitudeAxisSpansSteadyAnglesWithTenDegreesMargin()
    {
        imuWidget w;
        w.setDisplayLength(1000);
        w.setEuler({}, filled(5, 1), filled(5, 2)); // without roll: nothing drawn
        w.realtimePaintSlot();
        QCOMPARE(w.plot()->graph(1)->dataCount(), 0);
        QVERIFY(w.timeline().keys().isEmpty());
        w.setEuler(filled(200, 10), filled(200, -5), filled(200, 170));
        w.realtimePaintSlot();
        QCOMPARE(w.plot()->yAxis->range(), QCPRange(-15, 180));
        QCOMPARE(graphValues(w.plot()->graph(0)), filled(200, 10)); // roll, pitch, yaw in order
        QCOMPARE(graphValues(w.plot()->graph(2)), filled(200, 170));
        const QVector<double> &keys = w.timeline().keys();
        QCOMPARE(w.plot()->xAxis->range(), QCPRange(keys.first(), keys.last()));
    }

    void hiddenAttitudeCurveIsWhiteAndStillInRange()
    {
        imuWidget w;
        w.curveCheckBox(2)->click();
        QCOMPARE(w.plot()->graph(2)->pen().color(), QColor(Qt::white));
        w.setEuler(filled(3, 0), filled(3, 0), filled(3, 300));
        w.realtimePaintSlot();
        QCOMPARE(w.plot()->yAxis->range().upper, 310.0);
        w.curveCheckBox(2)->click();
        QCOMPARE(w.plot()->graph(2)->pen().color(), QColor(Qt::blue));
    }

    void velocityFieldsGoToTheirCurves()
    {
        LocationQWidget w;
        // Only field 1 moves: it shows on the green "Vn" curve; red "Ve" (field 2) stays at 0.
        w.setVelocity(filled(50, 3.5), filled(50, 0), filled(50, 0));
        w.realtimePaintSlot();
        QCOMPARE(graphValues(w.plot()->graph(0)), filled(50, 0));
        QCOMPARE(graphValues(w.plot()->graph(1)), filled(50, 3.5));
        QCOMPARE(graphValues(w.plot()->graph(2)), filled(50, 0));
        QCOMPARE(w.plot()->yAxis->range(), QCPRange(-10, 13.5));
    }

    // Ten clock-time labels where they have room; a narrow plot labels fewer of the seconds
    // rather than writing them over each other.
    void narrowPlotsLabelFewerSeconds()
    {
        imuWidget w;
        auto *ticker = dynamic_cast<FixedTimeTicker *>(w.plot()->xAxis->ticker().data());
        QVERIFY(ticker);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int width : {1000, 400}) {
            w.resize(width, w.height());
            QTRY_COMPARE(w.width(), width);
            w.plot()->replot(QCustomPlot::rpImmediateRefresh); // lays the axes out
            w.setEuler(filled(100, 1), filled(100, 2), filled(100, 3));
            w.realtimePaintSlot();
            if (width == 1000)
                QCOMPARE(ticker->tickPositions().size(), 10);
            else
                QVERIFY(ticker->tickPositions().size() <= 5);
        }
    }

    void positionWithOneFixIsCentredAndTiny()
    {
        RealLocationQWidget w;
        QCOMPARE(w.plot()->xAxis->label(), QStringLiteral("Longtitude"));
        w.setPosition({30.5}, {120.25}, {12.0});
        w.realtimePaintSlot();
        const QCPRange x = w.plot()->xAxis->range();
        const QCPRange y = w.plot()->yAxis->range();
        QVERIFY(near(x.size(), 0.00002) && near(x.center(), 120.25));
        QVERIFY(near(y.size(), 0.00002) && near(y.center(), 30.5));
        QCOMPARE(w.track()->dataCount(), 1);
        QCOMPARE(w.track()->pen().color(), QColor(Qt::red));
    }

    void positionTrackJoinsFixesInOrderOfArrival()
    {
        RealLocationQWidget w;
        // Out east, north, back west past the start, then south: the route doubles back on
        // longitude, so joining the fixes by longitude would draw another shape.
        const QVector<double> lon{120.1, 120.3, 120.3, 120.0, 120.0, 120.2};
        const QVector<double> lat{1, 1, 2, 2, 0, 0};
        w.setPosition(lat, lon, QVector<double>(lon.size(), 0.0));
        w.realtimePaintSlot();
        QVector<double> keys, values;
        for (auto it = w.track()->data()->constBegin(); it != w.track()->data()->constEnd(); ++it)
            keys << it->key, values << it->value;
        QCOMPARE(keys, lon);
        QCOMPARE(values, lat);
        QVERIFY(near(w.plot()->xAxis->range().lower, 120.0 - 0.00001));
        QVERIFY(near(w.plot()->xAxis->range().upper, 120.3 + 0.00001));
        QVERIFY(near(w.plot()->yAxis->range().lower, -0.00001));
        QVERIFY(near(w.plot()->yAxis->range().upper, 2.00001));
        w.setPosition({}, {}, {});
        w.realtimePaintSlot(); // nothing new: the last picture stays
        QCOMPARE(w.track()->dataCount(), lon.size());
    }
};

QTEST_MAIN(TestTimePlots)
#include "tst_timeplots.moc"

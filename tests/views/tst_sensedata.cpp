#include "common/Language.h"
#include "tests/support/Waits.h"
#include "views/FixedTimeTicker.h"
#include "views/senseDataWidget.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>
#include <ctime>
#include <memory>

namespace {

QVector<double> filled(int n, double value)
{
    return QVector<double>(n, value);
}

// The keys or the values of a curve.
QVector<double> points(QCPGraph *graph, bool keys)
{
    QVector<double> out;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        out << (keys ? it->key : it->value);
    return out;
}

} // namespace

class TestSenseData : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Language::setChinese(false);
        qputenv("TZ", "UTC"); // tick labels are local clock time
        tzset();
    }

    void windowFollowsTheLanguage()
    {
        senseDataWidget english;
        QCOMPARE(english.accelerationPlot()->yAxis->label(), QStringLiteral("m/s^2"));
        Language::setChinese(true);
        senseDataWidget chinese;
        Language::setChinese(false);
        QCOMPARE(chinese.accelerationPlot()->xAxis->label(), QStringLiteral("时间"));
    }

    void timeAxisShowsClockTimeAtTheGivenTicks()
    {
        senseDataWidget w;
        auto *ticker =
            dynamic_cast<FixedTimeTicker *>(w.accelerationPlot()->xAxis->ticker().data());
        QVERIFY(ticker);
        QVector<double> ticks, subTicks;
        QVector<QString> labels;
        ticker->generate(QCPRange(0.5, 9.99), QLocale::c(), QLatin1Char('g'), 6, ticks, &subTicks,
                         &labels);
        QCOMPARE(ticks, (QVector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
        QCOMPARE(labels.first(), QStringLiteral("00:01:000"));
        QCOMPARE(labels.last(), QStringLiteral("00:09:000"));
        const auto between = std::count_if(subTicks.cbegin(), subTicks.cend(),
                                           [](double t) { return t > 1.0 && t < 9.0; });
        QCOMPARE(int(between), 8 * 5); // five between neighbouring ticks
    }

    void emptyBeforeData()
    {
        senseDataWidget w;
        w.setDisplayLength(1000);
        w.realtimePaintSlot();
        w.realtimePaintSlot();
        for (QCustomPlot *plot : {w.accelerationPlot(), w.angularVelocityPlot(), w.magneticPlot()})
            for (int g = 0; g < 3; ++g)
                QCOMPARE(plot->graph(g)->dataCount(), 0);
        QCOMPARE(w.timeline().xPositions().first(), 0.0); // time stands still without data
        QVERIFY(w.timeline().keys().isEmpty());
    }

    void noReplotWithoutAcceleration()
    {
        auto w = std::make_unique<senseDataWidget>();
        QSignalSpy acc(w->accelerationPlot(), &QCustomPlot::afterReplot);
        QSignalSpy gyro(w->angularVelocityPlot(), &QCustomPlot::afterReplot);
        QSignalSpy mag(w->magneticPlot(), &QCustomPlot::afterReplot);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        // Every plot draws itself once when shown (its first resize); then nothing is queued.
        QTRY_VERIFY(acc.count() >= 1 && gyro.count() >= 1 && mag.count() >= 1);
        QCoreApplication::processEvents();
        acc.clear();
        gyro.clear();
        mag.clear();

        w->setAngularVelocity(filled(10, 1), filled(10, 2), filled(10, 3));
        w->setMagnetic(filled(10, 0.1), filled(10, 0.2), filled(10, 0.3));
        w->realtimePaintSlot();
        // A redraw would come with the next display frame: none within a few of them.
        QVERIFY(!TestWaits::happensWithin(3 * RedrawThrottle::frameIntervalMs, [&] {
            return acc.count() + gyro.count() + mag.count() > 0;
        }));
        QCOMPARE(w->angularVelocityPlot()->graph(1)->dataCount(), 10); // data path still ran

        w->setAcceleration(filled(10, 9.8), filled(10, 0), filled(10, 0));
        w->realtimePaintSlot();
        QTRY_VERIFY(acc.count() >= 1 && gyro.count() >= 1 && mag.count() >= 1);
    }

    void hiddenCurveIsWhiteAndStillInRange()
    {
        senseDataWidget w;
        QCheckBox *accY = w.curveCheckBox(1);
        accY->click();
        QCPGraph *graph = w.accelerationPlot()->graph(1);
        QCOMPARE(graph->pen().color(), QColor(Qt::white));

        w.setAcceleration(filled(20, 1), filled(20, 100), filled(20, -1));
        w.realtimePaintSlot();
        QCOMPARE(w.accelerationPlot()->yAxis->range(), QCPRange(-1.5, 100.5));

        accY->click();
        QCOMPARE(graph->pen().color(), QColor(Qt::green));
        QCOMPARE(w.accelerationPlot()->graph(0)->pen().color(), QColor(Qt::red));
    }

    void spikeWidensAccelerationRangeUntilItLeavesTheNewest1000()
    {
        senseDataWidget w;
        QVector<double> acc = filled(1000, 0.0);
        acc[600] = 50.0;
        const QVector<double> zeros = filled(1000, 0.0);
        const QVector<double> gyro = filled(1000, 2.0);
        w.setAcceleration(acc, zeros, zeros);
        w.setAngularVelocity(gyro, gyro, gyro);
        w.setMagnetic(acc, zeros, zeros);
        w.realtimePaintSlot();
        QCOMPARE(w.accelerationPlot()->yAxis->range(), QCPRange(-0.5, 50.5));
        QCOMPARE(w.angularVelocityPlot()->yAxis->range(), QCPRange(1.0, 3.0));
        QVERIFY(w.magneticPlot()->yAxis->range().upper >= 50.0);

        // 700 more values arrive: the spike is no longer among the newest 1000.
        w.setAcceleration(zeros, zeros, zeros);
        w.setMagnetic(zeros, zeros, zeros);
        w.realtimePaintSlot();
        QCOMPARE(w.accelerationPlot()->yAxis->range().upper, 0.5);
        QVERIFY(w.magneticPlot()->yAxis->range().upper >= 50.0); // never shrinks
    }

    void threeHundredValuesCoverTheFirst300Keys()
    {
        senseDataWidget w;
        QVector<double> values(300);
        for (int i = 0; i < 300; ++i)
            values[i] = i * 0.01;
        w.setAcceleration(values, values, values);
        w.setAngularVelocity(values, values, values);
        w.setMagnetic(values, values, values);
        // The window's clock started with it: let it move on by at least a millisecond.
        QElapsedTimer sinceBuilt;
        sinceBuilt.start();
        QVERIFY(QTest::qWaitFor([&] { return sinceBuilt.elapsed() >= 2; }, 1000));
        w.realtimePaintSlot();
        const QVector<double> keys = w.timeline().keys();
        QCOMPARE(keys.size(), 1000);
        QVERIFY(keys.first() > 0.0); // moved on by the time since construction
        for (QCustomPlot *plot :
             {w.accelerationPlot(), w.angularVelocityPlot(), w.magneticPlot()}) {
            for (int g = 0; g < 3; ++g) {
                QCOMPARE(points(plot->graph(g), true), keys.mid(0, 300));
                QCOMPARE(points(plot->graph(g), false), values);
            }
            QCOMPARE(plot->xAxis->range(), QCPRange(keys.first(), keys.last()));
        }
        // Fewer values later: the curve is cut back, not left with stale points.
        w.setAcceleration(values.mid(0, 10), values, values);
        w.realtimePaintSlot();
        QCOMPARE(w.accelerationPlot()->graph(0)->dataCount(), 10);
    }
};

QTEST_MAIN(TestSenseData)
#include "tst_sensedata.moc"

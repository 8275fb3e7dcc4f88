#include "common/Language.h"
#include "views/FixedTimeTicker.h"
#include "views/LocationQWidget.h"
#include "views/RealLocationQWidget.h"
#include "views/imuWidget.h"
#include "views/senseDataWidget.h"

#include <QAction>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// The history after n samples, as the owner hands it in: the newest 1000 at most.
QVector<double> history(int n)
{
    QVector<double> v;
    for (int i = std::max(0, n - 1000); i < n; ++i)
        v << i;
    return v;
}

// The values the first curve of the window's first plot shows.
QVector<double> shown(ScrollingPlotWindow *w)
{
    QVector<double> v;
    QCPPlottableInterface1D *data = w->plot()->plottable(0)->interface1D();
    for (int i = 0; i < data->dataCount(); ++i)
        v << data->dataMainValue(i);
    return v;
}

// Hands every curve of the window's first plot the series v.
void feed(ScrollingPlotWindow *w, const QVector<double> &v)
{
    if (auto *sense = qobject_cast<senseDataWidget *>(w))
        sense->setAcceleration(v, v, v);
    else if (auto *attitude = qobject_cast<imuWidget *>(w))
        attitude->setEuler(v, v, v);
    else if (auto *velocity = qobject_cast<LocationQWidget *>(w))
        velocity->setVelocity(v, v, v);
    else if (auto *position = qobject_cast<RealLocationQWidget *>(w))
        position->setPosition(v, v, v);
}

void wheel(QCustomPlot *plot, QPoint at, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent e(at, plot->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &e);
}

void mouse(QCustomPlot *plot, QEvent::Type type, QPoint at)
{
    QMouseEvent e(type, at, plot->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(plot, &e);
}

} // namespace

using Make = std::function<ScrollingPlotWindow *()>;
Q_DECLARE_METATYPE(Make)

class TestPlotPause : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Language::setChinese(false); }

    void pausedWindowKeepsEverySample_data()
    {
        QTest::addColumn<Make>("make");
        QTest::newRow("sensor data") << Make([] { return new senseDataWidget; });
        QTest::newRow("attitude") << Make([] { return new imuWidget; });
        QTest::newRow("velocity") << Make([] { return new LocationQWidget; });
        QTest::newRow("position") << Make([] { return new RealLocationQWidget; });
    }

    // Paused, the picture stays while the data goes on arriving; the resume shows all of
    // it, as the live window would have.
    void pausedWindowKeepsEverySample()
    {
        QFETCH(Make, make);
        const std::unique_ptr<ScrollingPlotWindow> window(make());
        ScrollingPlotWindow *w = window.get();
        feed(w, history(100));
        w->realtimePaintSlot();
        w->pauseAction()->trigger();
        QVERIFY(w->isPaused());
        const QCPRange frozen = w->plot()->yAxis->range();
        for (int n : {200, 700, 1500}) {
            feed(w, history(n));
            w->realtimePaintSlot();
            QCOMPARE(shown(w), history(100));
            QCOMPARE(w->plot()->yAxis->range(), frozen);
        }
        w->pauseAction()->trigger();
        QCOMPARE(shown(w), history(1500));
    }

    void readingAPausedPlot_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("keys");
        QTest::addColumn<bool>("timeMoves");
        QTest::addColumn<bool>("valueMoves");
        QTest::newRow("plot area") << "centre" << int(Qt::NoModifier) << true << true;
        QTest::newRow("Ctrl") << "centre" << int(Qt::ControlModifier) << true << false;
        QTest::newRow("Shift") << "centre" << int(Qt::ShiftModifier) << false << true;
        QTest::newRow("value axis") << "left" << int(Qt::NoModifier) << false << true;
        QTest::newRow("time axis") << "bottom" << int(Qt::NoModifier) << true << false;
    }

    // Only while paused: the wheel zooms the axes that the place and the keys say, a drag
    // pans, a double-click shows all the data; the resume returns to the live ranges.
    void readingAPausedPlot()
    {
        QFETCH(QString, where);
        QFETCH(int, keys);
        QFETCH(bool, timeMoves);
        QFETCH(bool, valueMoves);
        imuWidget w;
        w.setEuler(history(300), history(300), history(300));
        w.realtimePaintSlot();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCustomPlot *plot = w.plot();
        plot->replot(QCustomPlot::rpImmediateRefresh); // lays the axes out
        const QRect inner = plot->axisRect()->rect();
        const QPoint at = where == "left"     ? QPoint(inner.left() - 12, inner.center().y())
                          : where == "bottom" ? QPoint(inner.center().x(), inner.bottom() + 12)
                                              : inner.center();
        const QCPRange time = plot->xAxis->range(), value = plot->yAxis->range();

        wheel(plot, at, Qt::KeyboardModifiers(keys));
        QVERIFY(plot->xAxis->range() == time && plot->yAxis->range() == value);
        w.setPaused(true);
        wheel(plot, at, Qt::KeyboardModifiers(keys));
        QCOMPARE(plot->xAxis->range() != time, timeMoves);
        QCOMPARE(plot->yAxis->range() != value, valueMoves);

        const QCPRange zoomed = plot->xAxis->range();
        mouse(plot, QEvent::MouseButtonPress, inner.center());
        mouse(plot, QEvent::MouseMove, inner.center() + QPoint(40, 0));
        mouse(plot, QEvent::MouseButtonRelease, inner.center() + QPoint(40, 0));
        QVERIFY(plot->xAxis->range().lower < zoomed.lower); // dragged right: earlier

        QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, inner.center());
        QCOMPARE(plot->xAxis->range(),
                 QCPRange(w.timeline().keys().first(), w.timeline().keys().at(299)));
        QVERIFY(plot->yAxis->range().lower < 0 && plot->yAxis->range().upper > 299);

        w.setPaused(false);
        QCOMPARE(plot->yAxis->range(), QCPRange(-10, 309)); // 10 degrees on either side
        wheel(plot, inner.center(), Qt::NoModifier);
        QCOMPARE(plot->yAxis->range(), QCPRange(-10, 309));
    }

    // The space bar pauses and resumes the window that has the keyboard; the three plots of
    // the sensor window keep one time axis while paused, a zoomed one with ticks for the
    // range it shows.
    void spaceBarAndSharedTimeAxis()
    {
        senseDataWidget w;
        w.setAcceleration(history(500), history(500), history(500));
        w.realtimePaintSlot();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.magneticPlot()->setFocus();
        QTest::keyClick(w.magneticPlot(), Qt::Key_Space);
        QVERIFY(w.isPaused() && w.pauseAction()->isChecked());
        QCOMPARE(w.pauseAction()->text(), QStringLiteral("Resume"));

        auto *ticker = dynamic_cast<FixedTimeTicker *>(w.magneticPlot()->xAxis->ticker().data());
        const QCPRange live = w.accelerationPlot()->xAxis->range();
        const QCPRange narrow(live.center(), live.center() + 0.2);
        w.angularVelocityPlot()->xAxis->setRange(narrow);
        QCOMPARE(w.accelerationPlot()->xAxis->range(), narrow);
        QCOMPARE(w.magneticPlot()->xAxis->range(), narrow);
        QVERIFY(ticker && ticker->followsRange());

        QTest::keyClick(w.magneticPlot(), Qt::Key_Space);
        QVERIFY(!w.isPaused() && !ticker->followsRange());
        QCOMPARE(w.magneticPlot()->xAxis->range().size(), live.size());
    }
};

QTEST_MAIN(TestPlotPause)
#include "tst_plotpause.moc"

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

// first, first + 1, ... : n values.
QVector<double> ramp(int first, int n)
{
    QVector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = first + i;
    return v;
}

// The history after n samples, as the owner hands it in: the newest 1000 at most.
QVector<double> history(int n)
{
    const int kept = std::min(n, 1000);
    return ramp(n - kept, kept);
}

template <typename Data> QVector<double> valuesOf(const Data &data)
{
    QVector<double> out;
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        out << it->value;
    return out;
}

// One kind of plot window: how to build it, hand it a series and read back what its
// first curve shows.
struct PlotKind
{
    std::function<ScrollingPlotWindow *()> make;
    std::function<void(ScrollingPlotWindow *, const QVector<double> &)> feed;
    std::function<QVector<double>(ScrollingPlotWindow *)> shown;
};

const QMap<QString, PlotKind> &plotKinds()
{
    static const QMap<QString, PlotKind> kinds{
        {"sensor data",
         {[] { return new senseDataWidget; },
          [](ScrollingPlotWindow *w, const QVector<double> &v) {
              auto *s = static_cast<senseDataWidget *>(w);
              s->setAcceleration(v, v, v);
              s->setAngularVelocity(v, v, v);
              s->setMagnetic(v, v, v);
          },
          [](ScrollingPlotWindow *w) {
              auto *s = static_cast<senseDataWidget *>(w);
              const QVector<double> acc = valuesOf(s->accelerationPlot()->graph(0)->data());
              // Every plot of the window shows the same.
              return valuesOf(s->magneticPlot()->graph(2)->data()) == acc ? acc
                                                                          : QVector<double>{-1};
          }}},
        {"attitude",
         {[] { return new imuWidget; },
          [](ScrollingPlotWindow *w, const QVector<double> &v) {
              static_cast<imuWidget *>(w)->setEuler(v, v, v);
          },
          [](ScrollingPlotWindow *w) { return valuesOf(w->plot()->graph(0)->data()); }}},
        {"velocity",
         {[] { return new LocationQWidget; },
          [](ScrollingPlotWindow *w, const QVector<double> &v) {
              static_cast<LocationQWidget *>(w)->setVelocity(v, v, v);
          },
          [](ScrollingPlotWindow *w) { return valuesOf(w->plot()->graph(1)->data()); }}},
        {"position",
         {[] { return new RealLocationQWidget; },
          [](ScrollingPlotWindow *w, const QVector<double> &v) {
              static_cast<RealLocationQWidget *>(w)->setPosition(v, v, v);
          },
          [](ScrollingPlotWindow *w) {
              return valuesOf(static_cast<RealLocationQWidget *>(w)->track()->data());
          }}},
    };
    return kinds;
}

QVector<QCPRange> ranges(ScrollingPlotWindow *w)
{
    QVector<QCPRange> out;
    for (QCustomPlot *p : w->findChildren<QCustomPlot *>())
        out << p->xAxis->range() << p->yAxis->range();
    return out;
}

void sendWheel(QCustomPlot *plot, QPoint pos, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent wheel(pos, plot->mapToGlobal(pos), QPoint(), QPoint(0, 120), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
}

void sendMouse(QCustomPlot *plot, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, plot->mapToGlobal(pos), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(plot, &event);
}

} // namespace

class TestPlotPause : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Language::setChinese(false); }

    void pausedWindowKeepsEverySample_data()
    {
        QTest::addColumn<QString>("kind");
        for (const QString &kind : plotKinds().keys())
            QTest::newRow(qPrintable(kind)) << kind;
    }

    // Paused, the picture stays while the data goes on arriving; the resume shows all of
    // it, as the live window would have.
    void pausedWindowKeepsEverySample()
    {
        QFETCH(QString, kind);
        const PlotKind &k = plotKinds()[kind];
        std::unique_ptr<ScrollingPlotWindow> w(k.make());
        k.feed(w.get(), history(100));
        w->realtimePaintSlot();
        QCOMPARE(k.shown(w.get()), history(100));

        w->pauseAction()->trigger();
        QVERIFY(w->isPaused());
        const QVector<QCPRange> frozen = ranges(w.get());
        for (int n : {200, 700, 1500}) {
            k.feed(w.get(), history(n));
            w->realtimePaintSlot();
            QCOMPARE(k.shown(w.get()), history(100));
            QCOMPARE(ranges(w.get()), frozen);
        }
        w->pauseAction()->trigger();
        QVERIFY(!w->isPaused());
        QCOMPARE(k.shown(w.get()), history(1500));
        QVERIFY(ranges(w.get()) != frozen);
    }

    void readingAPausedPlot_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("timeMoves");
        QTest::addColumn<bool>("valueMoves");
        QTest::newRow("plot area") << "centre" << int(Qt::NoModifier) << true << true;
        QTest::newRow("Ctrl") << "centre" << int(Qt::ControlModifier) << true << false;
        QTest::newRow("Shift") << "centre" << int(Qt::ShiftModifier) << false << true;
        QTest::newRow("value axis") << "left" << int(Qt::NoModifier) << false << true;
        QTest::newRow("time axis") << "bottom" << int(Qt::NoModifier) << true << false;
    }

    // The wheel zooms and a drag pans the axes that the place and the keys say, only while
    // paused; a double-click shows all the data; the resume returns to the live ranges.
    void readingAPausedPlot()
    {
        QFETCH(QString, where);
        QFETCH(int, modifiers);
        QFETCH(bool, timeMoves);
        QFETCH(bool, valueMoves);

        imuWidget w;
        w.setEuler(ramp(0, 300), ramp(-50, 300), ramp(0, 300));
        w.realtimePaintSlot();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCustomPlot *plot = w.plot();
        plot->replot(QCustomPlot::rpImmediateRefresh); // lays the axes out
        const QRect inner = plot->axisRect()->rect();
        const QPoint at = where == "left"     ? QPoint(inner.left() - 12, inner.center().y())
                          : where == "bottom" ? QPoint(inner.center().x(), inner.bottom() + 12)
                                              : inner.center();
        const QCPRange liveTime = plot->xAxis->range(), liveValue = plot->yAxis->range();
        const auto moved = [&](bool time) {
            return (time ? plot->xAxis : plot->yAxis)->range() != (time ? liveTime : liveValue);
        };

        sendWheel(plot, at, Qt::KeyboardModifiers(modifiers));
        QVERIFY(!moved(true) && !moved(false)); // live: the window keeps its ranges

        w.setPaused(true);
        QCOMPARE(w.pauseAction()->text(), QStringLiteral("Resume"));
        sendWheel(plot, at, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(moved(true), timeMoves);
        QCOMPARE(moved(false), valueMoves);
        QVERIFY(plot->xAxis->range().size() <= liveTime.size()); // zoomed in
        QCOMPARE(plot->xAxis2->range(), plot->xAxis->range());   // the axes box follows

        const QCPRange zoomedTime = plot->xAxis->range(), zoomedValue = plot->yAxis->range();
        sendMouse(plot, QEvent::MouseButtonPress, inner.center());
        sendMouse(plot, QEvent::MouseMove, inner.center() + QPoint(40, 30));
        sendMouse(plot, QEvent::MouseButtonRelease, inner.center() + QPoint(40, 30));
        QVERIFY(plot->xAxis->range().lower < zoomedTime.lower);  // dragged right: earlier
        QVERIFY(plot->yAxis->range().lower > zoomedValue.lower); // dragged down: higher
        QCOMPARE(plot->xAxis->range().size(), zoomedTime.size());

        QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, inner.center());
        const QVector<double> &keys = w.timeline().keys();
        QCOMPARE(plot->xAxis->range(), QCPRange(keys.first(), keys.at(299)));
        QVERIFY(plot->yAxis->range().lower < -50 && plot->yAxis->range().upper > 299);

        w.setPaused(false);
        QCOMPARE(w.pauseAction()->text(), QStringLiteral("Pause"));
        QCOMPARE(plot->yAxis->range(), QCPRange(-60, 309)); // the live margin of 10 degrees
        QCOMPARE(plot->xAxis->range().size(), liveTime.size());
        sendWheel(plot, inner.center(), Qt::NoModifier);
        QCOMPARE(plot->yAxis->range(), QCPRange(-60, 309));
    }

    // The space bar pauses and resumes the window that has the keyboard.
    void spaceBarPausesTheFocusedWindow()
    {
        LocationQWidget w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.plot()->setFocus();
        QTest::keyClick(w.plot(), Qt::Key_Space);
        QVERIFY(w.isPaused());
        QVERIFY(w.pauseAction()->isChecked());
        QTest::keyClick(w.plot(), Qt::Key_Space);
        QVERIFY(!w.isPaused());
    }

    // The three plots of the sensor window move along one time axis while paused; a zoomed
    // time axis chooses its ticks for what it shows, and the resume brings back the
    // one-second ticks of the live window.
    void sensorPlotsShareTheirTimeAxisWhilePaused()
    {
        senseDataWidget w;
        const QVector<double> v = ramp(0, 500);
        w.setAcceleration(v, v, v);
        w.setAngularVelocity(v, v, v);
        w.setMagnetic(v, v, v);
        w.realtimePaintSlot();
        auto *ticker = dynamic_cast<FixedTimeTicker *>(w.magneticPlot()->xAxis->ticker().data());
        QVERIFY(ticker && !ticker->followsRange());

        w.setPaused(true);
        const QCPRange live = w.accelerationPlot()->xAxis->range();
        const QCPRange narrow(live.center(), live.center() + 0.2);
        w.angularVelocityPlot()->xAxis->setRange(narrow);
        QCOMPARE(w.accelerationPlot()->xAxis->range(), narrow);
        QCOMPARE(w.magneticPlot()->xAxis->range(), narrow);
        QVERIFY(ticker->followsRange());

        w.setPaused(false);
        QVERIFY(!ticker->followsRange());
        QCOMPARE(w.magneticPlot()->xAxis->range().size(), live.size());
    }
};

QTEST_MAIN(TestPlotPause)
#include "tst_plotpause.moc"

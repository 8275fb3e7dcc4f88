// Every view window of the View menu, opened from its action on the built-in simulated unit
// ("ARV-SIM"): each is fed while it is open, closes with the port, and opens only once.
#include "app/MainWindow.h"
#include "app/RefreshPacer.h"
#include "common/Language.h"
#include "serial/SerialLink.h"
#include "serial/SimulatedUnitHost.h"
#include "tests/support/Waits.h"
#include "views/Combined_State_Widget.h"
#include "views/LocationQWidget.h"
#include "views/RealLocationQWidget.h"
#include "views/Temperature.h"
#include "views/UTCWidget.h"
#include "views/attributeLabel.h"
#include "views/combineWidget.h"
#include "views/imuWidget.h"
#include "views/openGLwidget.h"
#include "views/senseDataWidget.h"

#include <QAction>
#include <QComboBox>
#include <QMdiArea>
#include <QPointer>
#include <QRegularExpression>
#include <QtTest>

namespace {

// Warnings and critical messages of the run; Qt reports painting trouble this way.
QStringList g_warnings;
QtMessageHandler g_previousHandler = nullptr;

void recordWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg || type == QtCriticalMsg)
        g_warnings << text;
    if (g_previousHandler)
        g_previousHandler(type, context, text);
}

QString paintWarnings()
{
    return g_warnings
        .filter(QRegularExpression("paint|opengl", QRegularExpression::CaseInsensitiveOption))
        .join(QLatin1Char('\n'));
}

struct ViewAction
{
    ViewKind kind;
    QAction *action;
};

// The view windows of the View menu: the fed kinds the table binds from the start.
QVector<ViewAction> viewActions(const MainWindow &w)
{
    QVector<ViewAction> actions;
    for (const ViewKindInfo &info : viewKinds())
        if (info.bind && info.feed != ViewFeed::Never) // the view windows, not the tools
            actions.append({info.kind, w.ui().*info.action});
    return actions;
}

template <typename T> T *view(const MainWindow &w, ViewKind kind)
{
    return qobject_cast<T *>(w.views()->window(kind));
}

bool plotHasData(QCustomPlot *plot, int graphs)
{
    for (int i = 0; i < graphs; ++i)
        if (plot->graph(i)->dataCount() == 0)
            return false;
    return true;
}

const QString blanks13(13, QLatin1Char(' '));
const QString utcStart = QStringLiteral(" 2000-01-01-00:00:00 ");

} // namespace

class TestViewWiring : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { g_previousHandler = qInstallMessageHandler(recordWarnings); }
    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }
    void init()
    {
        Language::setChinese(true);
        g_warnings.clear();
    }

    void everyViewIsFedFromTheUnitAndClosesWithThePort()
    {
        MainWindow w;
        w.resize(1600, 1000);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.ui().baudCombo->setCurrentIndex(0); // 921600
        w.openSimulatedUnit();
        QVERIFY(w.isPortOpen());

        QVector<QPointer<QWidget>> windows;
        for (const ViewAction &va : viewActions(w)) {
            QVERIFY2(va.action->isEnabled(), qPrintable(va.action->text()));
            va.action->trigger();
            windows << w.views()->window(va.kind);
            QVERIFY2(windows.last(), qPrintable(va.action->text()));
            va.action->trigger(); // open once: the same window again
            QCOMPARE(w.views()->window(va.kind), windows.last().data());
        }
        QCOMPARE(w.ui().mdiArea->subWindowList().size(), 8);
        w.ui().mdiArea->tileSubWindows();

        auto *sense = view<senseDataWidget>(w, ViewKind::SenseData);
        auto *imu = view<imuWidget>(w, ViewKind::Imu);
        auto *velocity = view<LocationQWidget>(w, ViewKind::Location);
        auto *position = view<RealLocationQWidget>(w, ViewKind::RealLocation);
        auto *display = view<combineWidget>(w, ViewKind::Display3D);
        auto *temperature = view<Temperature>(w, ViewKind::Temperature);
        auto *utc = view<UTCWidget>(w, ViewKind::Utc);
        auto *state = view<Combined_State_Widget>(w, ViewKind::CombinedState);
        QVERIFY(sense && imu && velocity && position && display && temperature && utc && state);

        // At every hand-over the windows get the newest data: the curves end with the
        // history's newest values, and the 3D view shows the newest angles and temperature.
        int handOvers = 0;
        QStringList stale;
        connect(&w, &MainWindow::imuASMmessage, &w, [&] {
            ++handOvers;
            const SampleHistory &h = w.history();
            const QCPGraphDataContainer &acc = *sense->accelerationPlot()->graph(0)->data();
            const QCPGraphDataContainer &mag = *sense->magneticPlot()->graph(2)->data();
            if (acc.size() != h[Quantity::AccX].size() ||
                (acc.constEnd() - 1)->value != h[Quantity::AccX].last() || mag.isEmpty() ||
                (mag.constEnd() - 1)->value != h[Quantity::MagZ].last())
                stale << QStringLiteral("sensor plot");
            if (display->readout()->yaw() != float(h[Quantity::Yaw].last()) ||
                display->readout()->pitch() != float(h[Quantity::Pitch].last()) ||
                display->temperature() != w.latestTemperature())
                stale << QStringLiteral("3D read-out");
        });
        connect(&w, &MainWindow::imuRPYmessage, &w, [&] {
            const QCPGraphDataContainer &roll = *imu->plot()->graph(0)->data();
            if (roll.isEmpty() ||
                (roll.constEnd() - 1)->value != w.history()[Quantity::Roll].last())
                stale << QStringLiteral("attitude plot");
        });

        // The data flows until every window has been handed it and drawn with it, and the
        // hand-overs have been checked a few times. Bounded generously: with software OpenGL
        // under the sanitizers a refresh takes far longer than on a desktop.
        auto missing = [&] {
            QStringList m;
            if (handOvers <= 10)
                m << QStringLiteral("%1 hand-overs").arg(handOvers);
            for (QCustomPlot *plot : {sense->accelerationPlot(), sense->angularVelocityPlot(),
                                      sense->magneticPlot(), imu->plot(), velocity->plot()})
                if (!plotHasData(plot, 3))
                    m << plot->parentWidget()->metaObject()->className();
            if (position->track()->dataCount() == 0)
                m << QStringLiteral("position track");
            if (!display->scene()->hasQuaternion() || display->temperature() == 0.0)
                m << QStringLiteral("3D view");
            if (!temperature->celsiusValue().endsWith(QStringLiteral(" °C")) ||
                !temperature->fahrenheitValue().endsWith(QStringLiteral(" °F")))
                m << QStringLiteral("temperature");
            if (!QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$")
                     .match(utc->utcText())
                     .hasMatch())
                m << QStringLiteral("UTC \"%1\"").arg(utc->utcText());
            if (state->insStateText().isEmpty() || state->gnssStateText().isEmpty())
                m << QStringLiteral("fusion state");
            return m.join(QStringLiteral(", "));
        };
        QTRY_VERIFY2_WITH_TIMEOUT(missing().isEmpty(), qPrintable("still waiting for " + missing()),
                                  30000);
        QVERIFY2(stale.isEmpty(), qPrintable(stale.join(QLatin1Char(','))));

        // Closing the port closes every view; the windows go away and nothing is fed any more.
        w.slot_open_uart();
        QVERIFY(!w.isPortOpen());
        for (const ViewAction &va : viewActions(w))
            QVERIFY(!w.views()->isOpen(va.kind));
        QTRY_VERIFY(w.ui().mdiArea->subWindowList().isEmpty());
        for (const QPointer<QWidget> &p : windows)
            QTRY_VERIFY(!p);
        // Redraws still pending for the closed windows must not fire: they would come within
        // the longest refresh interval and show as painting warnings (or a crash).
        QVERIFY(!TestWaits::happensWithin(RefreshPacer::MaxIntervalMs,
                                          [] { return !paintWarnings().isEmpty(); }));
        QVERIFY(Temperature::isAbsent() && UTCWidget::isAbsent() &&
                Combined_State_Widget::isAbsent());
        QVERIFY2(paintWarnings().isEmpty(), qPrintable(paintWarnings()));
    }

    // Read-outs closed while frames keep coming are left alone and start blank when reopened;
    // then the unit is lost while every view is fed; opened again, the window goes without
    // the port being closed first, the simulated unit streaming into every view.
    void readOutsReopenBlankThenLostAndDestroyedWhileFed()
    {
        auto *w = new MainWindow;
        w->resize(1600, 1000);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->openSimulatedUnit();
        QVERIFY(w->isPortOpen());
        for (const ViewAction &va : viewActions(*w))
            va.action->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(
            view<Temperature>(*w, ViewKind::Temperature)->celsiusValue() != blanks13, 10000);
        QTRY_VERIFY(view<UTCWidget>(*w, ViewKind::Utc)->utcText() != utcStart);

        w->ui().mdiArea->closeAllSubWindows();
        QTRY_VERIFY(Temperature::isAbsent() && UTCWidget::isAbsent() &&
                    Combined_State_Widget::isAbsent());
        const quint64 frames = w->parser().statistics().frames;
        QTRY_VERIFY(w->parser().statistics().frames > frames + 20);
        QVERIFY(w->isPortOpen());
        // Every view said it closed (closeWidget(false)): each action builds a new window.
        for (const ViewAction &va : viewActions(*w))
            va.action->trigger();
        QCOMPARE(w->ui().mdiArea->subWindowList().size(), 8);
        auto *temperature = view<Temperature>(*w, ViewKind::Temperature);
        auto *utc = view<UTCWidget>(*w, ViewKind::Utc);
        auto *state = view<Combined_State_Widget>(*w, ViewKind::CombinedState);
        QCOMPARE(temperature->celsiusValue(), blanks13);
        QCOMPARE(temperature->fahrenheitValue(), blanks13);
        QCOMPARE(utc->utcText(), utcStart);
        QVERIFY(state->insStateText().isEmpty() && state->gnssStateText().isEmpty());
        QTRY_VERIFY(temperature->celsiusValue().endsWith(QStringLiteral(" °C")));
        QTRY_VERIFY(utc->utcText() != utcStart && !state->gnssStateText().isEmpty());

        w->serialLink()->simulatedUnitHost()->disconnectUnit();
        QTRY_VERIFY_WITH_TIMEOUT(!w->isPortOpen(), 2 * MainWindow::LossPollMs);
        QTRY_VERIFY(w->ui().mdiArea->subWindowList().isEmpty());

        w->slot_open_uart();
        QVERIFY(w->isPortOpen());
        for (const ViewAction &va : viewActions(*w))
            va.action->trigger();
        const QPointer<QWidget> sense = w->views()->window(ViewKind::SenseData);
        QTRY_VERIFY_WITH_TIMEOUT(w->parser().statistics().frames > 100, 10000);
        delete w;
        QVERIFY(!sense);
        // Nothing of the window fires any more (a late refresh would warn or crash).
        QVERIFY(!TestWaits::happensWithin(4 * RefreshPacer::MinIntervalMs,
                                          [] { return !paintWarnings().isEmpty(); }));
        QVERIFY2(paintWarnings().isEmpty(), qPrintable(paintWarnings()));
    }
};

QTEST_MAIN(TestViewWiring)
#include "tst_viewwiring.moc"

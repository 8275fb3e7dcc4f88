// End to end through the main window's menu entries and windows: the magnetometer
// calibrations, the gyro bias estimate and the attitude and heading reset against the built-in
// simulated unit ("ARV-SIM"), each checked at the unit afterwards; the sample thresholds and
// the end of collection on a pseudo-terminal fed frame by frame.
//
// Needs a real GL context for the point cloud: run under xvfb-run. With ARV_SHOT_DIR set, the
// screen is saved there at the interesting moments (to look at the windows).
#include "app/MainWindow.h"
#include "app/ViewManager.h"
#include "calib/CalibrationCollector.h"
#include "calib/CalibrationResultView.h"
#include "calib/GyoBiasDialog.h"
#include "calib/GyroBiasCollector.h"
#include "calib/GyroBiasSession.h"
#include "calib/MagCalibrationSession.h"
#include "calib/calibTipDialog.h"
#include "calib/calibrateWidget.h"
#include "calib/posture_course.h"
#include "calib/threadCalibrate.h"
#include "common/Language.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/ArvSimHost.h"
#include "sim/MotionModel.h"
#include "tests/support/FrameBytes.h"
#include "tests/support/MainWindowKit.h"
#include "tests/support/Waits.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <qcustomplot.h>

#include <cmath>
#include <memory>

using namespace MainWindowKit;

namespace {

void shot(const QString &name)
{
    const QString dir = qEnvironmentVariable("ARV_SHOT_DIR");
    if (dir.isEmpty())
        return;
    QTest::qWait(300); // let the GL windows draw a frame
    QGuiApplication::primaryScreen()->grabWindow(0).save(dir + QLatin1Char('/') + name +
                                                         QStringLiteral(".png"));
}

// The simulated unit opened in a shown main window (the point cloud needs a shown parent).
SimulatedUnit *openUnit(MainWindow &w, const UnitConfig &config, int hz)
{
    w.resize(1500, 950);
    w.show();
    return openSimulatedUnit(w, config, hz);
}

// A unit lying still, sending angular velocity and Euler angles, with this gyro bias.
UnitConfig stillUnit(std::array<double, 3> bias = {0.0, 0.0, 0.0})
{
    UnitConfig config;
    config.contentMask = ContentMask::AngularVelocity | ContentMask::Euler;
    config.motion.restSeconds = 1e6;
    config.motion.gyroBias = bias;
    return config;
}

// The largest deviation (percent) of the magnitudes from their mean.
double worstDeviationPercent(const QVector<double> &m)
{
    double mean = 0.0;
    for (double v : m)
        mean += v / m.size();
    double worst = 0.0;
    for (double v : m)
        worst = std::max(worst, std::fabs(v / mean - 1.0));
    return 100.0 * worst;
}

// The largest deviation (percent) of the calibrated field's magnitude from its mean over the
// unit's motion from `from` to `to` seconds of its clock, with the calibration `cal` (R row by
// row, then X0) applied to its raw readings as the unit applies it; planar: the horizontal
// (X, Y) magnitude.
double fieldDeviationPercent(const MotionConfig &motion, const std::array<double, 12> &cal,
                             double from, double to, bool planar)
{
    const MotionModel model(motion);
    QVector<double> m;
    std::uint64_t tick = 0;
    for (double t = from; t <= to; t += 0.01) {
        const MotionSample s = model.sample(t, tick++);
        double c[3];
        for (int i = 0; i < 3; ++i)
            c[i] = cal[9 + i] + cal[3 * i] * s.magRaw[0] + cal[3 * i + 1] * s.magRaw[1] +
                   cal[3 * i + 2] * s.magRaw[2];
        m << (planar ? std::hypot(c[0], c[1]) : std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]));
    }
    return worstDeviationPercent(m);
}

// The same for the normalised field the main window received last (n frames).
double receivedDeviationPercent(const MainWindow &w, int n)
{
    const SampleHistory &h = w.history();
    const int size = h[Quantity::MagZ].size();
    QVector<double> m;
    for (int i = size - n; i < size; ++i)
        m << std::sqrt(std::pow(h[Quantity::MagX].at(i), 2) + std::pow(h[Quantity::MagY].at(i), 2) +
                       std::pow(h[Quantity::MagZ].at(i), 2));
    return worstDeviationPercent(m);
}

double newestMean(const MainWindow &w, Quantity q, int n)
{
    const HistorySeries &s = w.history()[q];
    double sum = 0.0;
    for (int i = s.size() - n; i < s.size(); ++i)
        sum += s.at(i);
    return sum / n;
}

// Presses "Write" until the dialog takes it (it ignores it before the duration has passed).
bool writeWhenDue(QPointer<GyoBiasDialog> dialog, int timeoutMs = 15000)
{
    QElapsedTimer t;
    t.start();
    while (dialog && dialog->isVisible() && t.elapsed() < timeoutMs) {
        dialog->writeButton()->click();
        QTest::qWait(20);
    }
    return !dialog || !dialog->isVisible();
}

// Opens the gyro bias dialog and starts an estimate over `seconds`.
QPointer<GyoBiasDialog> startEstimate(MainWindow &w, int seconds)
{
    w.ui().gyroBiasAction->trigger();
    QPointer<GyoBiasDialog> dialog = w.gyroBiasSession()->dialog();
    if (dialog) {
        dialog->secondsBox()->setValue(seconds);
        dialog->estimateButton()->click();
    }
    return dialog;
}

// A frame with the three items of a 3D calibration (angular velocity, field, Euler angles).
QByteArray calibrationFrame(int k)
{
    using namespace FrameBytes;
    return frame(k, item3(0x20, k, 2 * k, -k) + item3(0x31, 40000 + 10 * k, -50000, 60000 - k) +
                        item3(0x40, 1000 * k, -2000, 3000 * k));
}

bool writeFrames(MainWindow &w, PtyPair &pty, int first, int count)
{
    QByteArray bytes;
    for (int k = first; k < first + count; ++k)
        bytes += calibrationFrame(k);
    const quint64 target = w.parser().statistics().frames + quint64(count);
    return pty.write(bytes) && receiveFrames(w, quint64(count), 5000) &&
           w.parser().statistics().frames == target;
}

const char *const kWritten = "Calibrated parameters have been written to ARV successfully.";

} // namespace

class TestCalibration : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void init() { Language::setChinese(true); }

    // The instruction dialog: "Start" once only; each 10 s step lights the next instruction;
    // after the last all are black and the dialog no longer collects; "Finish" accepts.
    void instructionSteps()
    {
        calibTipDialog tip;
        tip.show();
        auto colours = [&tip] {
            QString c;
            for (int i = 0; i < tip.stepCount(); ++i)
                c += tip.stepLabel(i)->palette().color(QPalette::WindowText) == Qt::red
                         ? QLatin1Char('R')
                         : QLatin1Char('-');
            return c;
        };
        QCOMPARE(colours(), QStringLiteral("---"));
        QVERIFY(tip.isCollecting());
        tip.startButton()->click();
        QTimer *timer = tip.stepTimer();
        QVERIFY(timer && timer->isActive() && timer->interval() == 10000);
        tip.startButton()->click();
        QCOMPARE(tip.stepTimer(), timer);
        QCOMPARE(colours(), QStringLiteral("R--"));
        for (const char *expected : {"-R-", "--R", "---"}) {
            QVERIFY(tip.isCollecting());
            tip.updateTip(); // a tick of the step timer
            QCOMPARE(colours(), QString::fromLatin1(expected));
        }
        QVERIFY(!tip.isCollecting() && timer->isActive());
        tip.finishButton()->click();
        QCOMPARE(tip.result(), int(QDialog::Accepted));
        QVERIFY(!tip.stepTimer());
    }

    // The calibration and reset entries follow the port; the magnetometer menu can be
    // forbidden for a unit that cannot use it.
    void entriesFollowThePort()
    {
        MainWindow w;
        const MainWindowUi &ui = w.ui();
        const QList<QAction *> entries{ui.mag3DAction, ui.mag2DAction, ui.gyroBiasAction,
                                       ui.postureResetAction};
        for (QAction *a : entries)
            QVERIFY(!a->isEnabled());
        UnitConfig config;
        QVERIFY(openUnit(w, config, 100));
        for (QAction *a : entries)
            QVERIFY2(a->isEnabled(), qPrintable(a->text()));
        w.setAllowedCalibrationEntries({true, true, false});
        QVERIFY(!ui.magnetometerMenu->menuAction()->isEnabled() && !ui.mag3DAction->isEnabled());
        QVERIFY(ui.gyroBiasAction->isEnabled() && ui.postureResetAction->isEnabled());
        w.setAllowedCalibrationEntries({});
        QVERIFY(ui.mag3DAction->isEnabled());
        w.slot_open_uart(); // closes
        QVERIFY(!w.isPortOpen());
        for (QAction *a : entries)
            QVERIFY(!a->isEnabled());
    }

    // The unit with soft- and hard-iron distortion turns about X, Y and Z while the
    // instruction dialog is open; the result is shown with its figures and written; the unit's
    // field then keeps its magnitude within 1 % over the three turns (over 10 % before).
    void calibration3DCorrectsTheUnitsField()
    {
        UnitConfig config;
        config.motion.restSeconds = 0.5;
        config.motion.turnSeconds = 2.0;
        MainWindow w;
        w.slot_translate_English();
        const QString cab = m_dir.filePath(QStringLiteral("cab3d.txt"));
        w.magCalibration()->setCabPath(cab);
        SimulatedUnit *unit = openUnit(w, config, 100);
        QVERIFY(unit);
        const double turnsEnd = config.motion.restSeconds + 3 * config.motion.turnSeconds;
        QVERIFY(fieldDeviationPercent(config.motion, unit->calibration().mag, 0.5, turnsEnd,
                                      false) > 10.0);

        w.ui().mag3DAction->trigger();
        QPointer<calibTipDialog> tip = w.magCalibration()->tipDialog();
        QVERIFY(tip && tip->isVisible());
        tip->startButton()->click();
        QCOMPARE(tip->stepLabel(0)->palette().color(QPalette::WindowText), QColor(Qt::red));
        shot(QStringLiteral("3d-tip"));
        // Rest and the three turns: 6.5 s of the unit's clock, at 100 Hz.
        const CalibrationSeries &series = w.calibrationCollector().series();
        QTRY_VERIFY_WITH_TIMEOUT(series.magX.size() >= 700, 20000);
        tip->finishButton()->click();
        QVERIFY(!w.calibrationCollector().isCollecting());
        const int n = series.magX.size();

        MagCalibrationSession *s = w.magCalibration();
        QVERIFY(s->calibrationThread());
        // Nothing to write before the result.
        QVERIFY(s->resultView() && !s->resultView()->writeButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(s->resultView()->writeButton()->isEnabled(), 10000);
        CalibrationResultView *view = s->resultView();
        QVERIFY(view->textBox()->toPlainText().startsWith(QStringLiteral("R:[")));
        QVERIFY2(view->qualityLabel()->text().contains(QStringLiteral("Verdict: good")),
                 qPrintable(view->qualityLabel()->text()));
        QVERIFY(view->qualityLabel()->text().contains(QStringLiteral("Samples: %1").arg(n)));
        QCOMPARE(view->plot()->graphCount(), 2);
        QCOMPARE(view->plot()->graph(0)->dataCount(), n);
        calibrateWidget *cloud = s->calibrationThread()->widget();
        QTRY_COMPARE_WITH_TIMEOUT(cloud->pointCount(), n + 1, 10000);
        shot(QStringLiteral("3d-result"));

        view->writeButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(unit->calibration().magWritten, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(lastMessage(w), QString::fromLatin1(kWritten), 5000);
        const double after =
            fieldDeviationPercent(config.motion, unit->calibration().mag, 0.5, turnsEnd, false);
        QVERIFY2(after < 1.0, qPrintable(QString::number(after)));
        // And in what the unit sends now.
        QVERIFY(receiveFrames(w, 500)); // past what was on its way at the write
        const double received = receivedDeviationPercent(w, 200);
        QVERIFY2(received < 1.0, qPrintable(QString::number(received)));

        // "cab.txt": one line of nine numbers per sample.
        QTRY_VERIFY_WITH_TIMEOUT(s->calibrationThread()->isFinished(), 10000);
        QFile file(cab);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines =
            QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), n);
        for (const QString &line : lines) {
            const QStringList numbers = line.split(QLatin1Char(' '));
            QCOMPARE(numbers.size(), 9);
            for (const QString &x : numbers) {
                bool ok = false;
                x.toDouble(&ok);
                QVERIFY2(ok, qPrintable(line));
            }
        }

        // Closing the point cloud ends the calibration and its result window.
        cloud->parentWidget()->close();
        QVERIFY(!s->calibrationThread() && !s->resultWindow());
    }

    // The unit turns level about Z alone: the 2D calibration written from that turn keeps the
    // horizontal field within 1 % over it (about 7 % off before).
    void calibration2DCorrectsTheUnitsField()
    {
        UnitConfig config;
        config.motion.restSeconds = 0.5;
        config.motion.turnSeconds = 3.0;
        MainWindow w; // in Chinese
        SimulatedUnit *unit = openUnit(w, config, 100);
        QVERIFY(unit);
        const double zFrom = config.motion.restSeconds + 2 * config.motion.turnSeconds;
        const double zTo = zFrom + config.motion.turnSeconds;
        QVERIFY(fieldDeviationPercent(config.motion, unit->calibration().mag, zFrom, zTo, true) >
                5.0);

        // The dialog opens when the level turn about Z begins: level for 0.2 s, heading moving.
        const SampleHistory &h = w.history();
        auto turningLevel = [&h] {
            const int size = h[Quantity::Yaw].size();
            if (size < 20)
                return false;
            for (int i = size - 20; i < size; ++i)
                if (std::fabs(h[Quantity::Pitch].at(i)) > 0.3 ||
                    std::fabs(h[Quantity::Roll].at(i)) > 0.3)
                    return false;
            return std::fabs(h[Quantity::Yaw].last() - 30.0) > 1.0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(turningLevel(), 15000);
        w.ui().mag2DAction->trigger();
        QPointer<calibTipDialog> tip = w.magCalibration()->tipDialog();
        QVERIFY(tip && tip->stepCount() == 1);
        tip->startButton()->click();
        // Until the heading has turned all the way round.
        const CalibrationSeries &series = w.calibrationCollector().series();
        auto turned = [&series] {
            double total = 0.0;
            for (int i = 1; i < series.yaw.size(); ++i)
                total += std::remainder(series.yaw[i] - series.yaw[i - 1], 360.0);
            return total;
        };
        QTRY_VERIFY_WITH_TIMEOUT(turned() > 352.0, 10000);
        shot(QStringLiteral("2d-tip"));
        tip->finishButton()->click();

        MagCalibrationSession *s = w.magCalibration();
        QTRY_VERIFY_WITH_TIMEOUT(s->has2DResult(), 10000);
        CalibrationResultView *view = s->resultView();
        QVERIFY(view && view->kind() == CalibrationResultView::Kind::Ellipse);
        QVERIFY2(view->writeButton()->isEnabled(), qPrintable(view->qualityLabel()->text()));
        QVERIFY2(view->qualityLabel()->text().contains(QStringLiteral("评估：良好")),
                 qPrintable(view->qualityLabel()->text()));
        QCOMPARE(view->plot()->graph(0)->dataCount(), series.magX.size());
        QCOMPARE(view->plot()->graph(1)->dataCount(), 360);
        QVERIFY(!s->calibration2DThread()); // deleted with its result
        shot(QStringLiteral("2d-result"));

        view->writeButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(unit->calibration().magWritten, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(
            lastMessage(w),
            QStringLiteral("2D Calibrated parameters have been written to ARV successfully."),
            5000);
        const std::array<double, 12> cal = unit->calibration().mag;
        for (int i : {2, 5, 6, 7, 8, 11})
            QCOMPARE(cal[i], 0.0);
        const double after = fieldDeviationPercent(config.motion, cal, zFrom, zTo, true);
        QVERIFY2(after < 1.0, qPrintable(QString::number(after)));
    }

    // On a pseudo-terminal, frame by frame: 99 samples do not start a calibration and say so
    // with the count; 100 do. The dialog's close button ends collection as "Finish" does.
    void sampleThresholdAndEndOfCollection_data()
    {
        QTest::addColumn<bool>("planar");
        QTest::newRow("3D") << false;
        QTest::newRow("2D") << true;
    }
    void sampleThresholdAndEndOfCollection()
    {
        QFETCH(bool, planar);
        PtyPair pty;
        QVERIFY(pty.isValid());
        MainWindow w;
        w.slot_translate_English();
        w.magCalibration()->setCabPath(m_dir.filePath(QStringLiteral("cab-threshold.txt")));
        w.show();
        w.ui().portCombo->setEditText(pty.slavePath());
        w.slot_open_uart();
        QVERIFY(w.isPortOpen());
        MagCalibrationSession *s = w.magCalibration();
        QAction *entry = planar ? w.ui().mag2DAction : w.ui().mag3DAction;
        const CalibrationSeries &series = w.calibrationCollector().series();

        entry->trigger();
        QVERIFY(writeFrames(w, pty, 0, 99));
        QCOMPARE(series.magX.size(), 99);
        s->tipDialog()->finishButton()->click();
        QVERIFY(!s->calibrationThread() && !s->calibration2DThread());
        QVERIFY2(lastMessage(w).contains(QStringLiteral("99")) &&
                     lastMessage(w).contains(QStringLiteral("0x31")),
                 qPrintable(lastMessage(w)));
        QCOMPARE(lastMessage(w).contains(QStringLiteral("0x40")), !planar);

        // Closed by the window's button: collection ends, nothing starts.
        entry->trigger();
        QVERIFY(writeFrames(w, pty, 0, 10));
        QVERIFY(s->tipDialog()->close());
        QVERIFY(!w.calibrationCollector().isCollecting());
        QVERIFY(writeFrames(w, pty, 10, 10));
        QCOMPARE(series.magX.size(), 10);

        entry->trigger();
        QVERIFY(writeFrames(w, pty, 0, 100));
        s->tipDialog()->finishButton()->click();
        if (planar) {
            QVERIFY(s->calibration2DThread() || s->has2DResult());
            QTRY_VERIFY(s->has2DResult());
        } else {
            QVERIFY(s->calibrationThread());
            QTRY_VERIFY(s->calibrationThread()->hasResult());
            // These samples lie on a line: the fit cannot be trusted, nothing may be written.
            QTRY_VERIFY(s->resultView() && s->resultView()->isVisible());
            QVERIFY(!s->resultView()->writeButton()->isEnabled());
            QVERIFY(s->resultView()->qualityLabel()->text().contains(
                QStringLiteral("Verdict: do not write")));
            QVERIFY2(lastMessage(w).startsWith(QStringLiteral("Calibration parameters not "
                                                              "written: ")),
                     qPrintable(lastMessage(w)));
        }
        // Closing the port ends the calibration and closes its windows.
        w.slot_open_uart();
        QVERIFY(!s->calibrationThread());
        QTRY_VERIFY(!s->resultWindow());
        QCOMPARE(w.ui().mdiArea->subWindowList().size(), 0);
    }

    // The port closes while a large 3D calibration computes: the worker ends at once, its
    // windows close and none shows afterwards.
    void portClosedDuringComputation()
    {
        MainWindow w;
        w.magCalibration()->setCabPath(m_dir.filePath(QStringLiteral("cab-closed.txt")));
        QVERIFY(openUnit(w, UnitConfig(), 2000));
        w.ui().mag3DAction->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w.calibrationCollector().series().magX.size() >= 4000, 10000);
        w.magCalibration()->tipDialog()->finishButton()->click();
        QPointer<threadCalibrate> thread = w.magCalibration()->calibrationThread();
        QVERIFY(thread);
        w.slot_open_uart();
        QVERIFY(!thread && !w.magCalibration()->resultWindow());
        QVERIFY(!TestWaits::happensWithin(
            100, [&w] { return !w.ui().mdiArea->subWindowList().isEmpty(); }));
    }

    // The unit lies still with a gyro bias of its own. A first estimate, under another bias,
    // is cancelled; the next holds only its own samples, is written, and the unit's angular
    // velocity at rest then averages to zero.
    void gyroBiasIsWritten_data()
    {
        QTest::addColumn<int>("hz");
        QTest::addColumn<bool>("chinese");
        QTest::newRow("100 Hz, Chinese") << 100 << true;
        QTest::newRow("1000 Hz, English") << 1000 << false;
    }
    void gyroBiasIsWritten()
    {
        QFETCH(int, hz);
        QFETCH(bool, chinese);
        MainWindow w;
        chinese ? w.slot_translate_Chinese() : w.slot_translate_English();
        SimulatedUnit *unit = openUnit(w, stillUnit({0.5, 0.5, 0.5}), hz);
        QVERIFY(unit);
        QTRY_COMPARE_WITH_TIMEOUT(w.outputRateHz(), double(hz), 5000);
        const GyroBiasCollector &c = w.gyroBiasCollector();

        QPointer<GyoBiasDialog> dialog = startEstimate(w, 1);
        QTRY_VERIFY_WITH_TIMEOUT(c.isFull(), 5000);
        dialog->cancelButton()->click();
        QVERIFY(!c.isCollecting());
        QTRY_VERIFY(!dialog);
        QVERIFY(!unit->calibration().gyroWritten);

        unit->setGyroBias(0.3, -0.2, 0.1);
        QVERIFY(receiveFrames(w, quint64(hz / 2))); // past frames sent with the old bias
        dialog = startEstimate(w, 2);
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(c.samples().size(), 0);
        shot(chinese ? QStringLiteral("gyro-zh") : QStringLiteral("gyro-en"));
        QCOMPARE(c.tripleLimit(), 2 * hz);
        QTRY_VERIFY_WITH_TIMEOUT(c.isFull(), 10000);
        QVERIFY(writeWhenDue(dialog));
        QTRY_VERIFY_WITH_TIMEOUT(unit->calibration().gyroWritten, 5000);
        // The written item, then (after the pause) the end of the estimate.
        QTRY_COMPARE_WITH_TIMEOUT(lastMessage(w), QStringLiteral("Gyro Bias estimation finished."),
                                  5000);
        const QStringList m = messages(w);
        QCOMPARE(m.filter(QStringLiteral("finished")).size(), 1);
        QCOMPARE(m.at(m.size() - 2), QString::fromLatin1(kWritten));
        QVERIFY2(m.at(m.size() - 3).contains(QString::number(2 * hz)),
                 qPrintable(m.at(m.size() - 3)));

        // The unit's output at rest, a second of it, now averages to zero.
        QVERIFY(receiveFrames(w, quint64(2 * hz))); // past what was on its way at the write
        for (Quantity q : {Quantity::GyroX, Quantity::GyroY, Quantity::GyroZ}) {
            const double mean = newestMean(w, q, hz);
            QVERIFY2(std::fabs(mean) < 0.005, qPrintable(QString::number(mean)));
        }
    }

    // The port closes before "Write": the failure is the last word and the samples stay; after
    // reopening, the next dialog writes them.
    void failedWriteKeepsTheSamples()
    {
        MainWindow w;
        w.slot_translate_English();
        SimulatedUnit *unit = openUnit(w, stillUnit({0.3, -0.2, 0.1}), 100);
        QVERIFY(unit);
        QTRY_COMPARE_WITH_TIMEOUT(w.outputRateHz(), 100.0, 5000);
        QPointer<GyoBiasDialog> dialog = startEstimate(w, 1);
        QTRY_VERIFY_WITH_TIMEOUT(w.gyroBiasCollector().isFull(), 5000);
        w.slot_open_uart(); // closes
        QVERIFY(writeWhenDue(dialog));
        QTRY_VERIFY(lastMessage(w).startsWith(QStringLiteral("Gyro bias not written to ARV")));
        QVERIFY(!messages(w).contains(QString::fromLatin1(kWritten)));
        QVERIFY(w.gyroBiasSession()->hasKeptEstimate());
        QCOMPARE(w.gyroBiasCollector().samples().size(), 3 * 100);
        QVERIFY(!unit->calibration().gyroWritten);

        w.openSimulatedUnit();
        QVERIFY(w.isPortOpen());
        w.ui().gyroBiasAction->trigger();
        dialog = w.gyroBiasSession()->dialog();
        QVERIFY(dialog->writeButton()->isEnabled());
        QVERIFY(writeWhenDue(dialog));
        QTRY_VERIFY_WITH_TIMEOUT(unit->calibration().gyroWritten, 5000);
        QTRY_COMPARE(lastMessage(w), QStringLiteral("Gyro Bias estimation finished."));
        QVERIFY(std::fabs(unit->calibration().gyroBias[0] - 0.3) < 0.01);
    }

    // A unit that moves during the estimate: the user is asked; "No" writes nothing.
    void movingUnitAsksFirst()
    {
        UnitConfig config = stillUnit();
        config.motion.restSeconds = 0.0; // turning from the start
        MainWindow w;
        w.slot_translate_English();
        SimulatedUnit *unit = openUnit(w, config, 100);
        QVERIFY(unit);
        QPointer<GyoBiasDialog> dialog = startEstimate(w, 1);
        // The rate is not asked for here: collection ends when the second has passed.
        QTRY_VERIFY_WITH_TIMEOUT(w.gyroBiasCollector().isDone(), 5000);
        QVERIFY(w.gyroBiasCollector().samples().size() < 3 * 200);
        QString question;
        answerNextBox(QMessageBox::No, &question);
        QElapsedTimer t;
        t.start();
        while (question.isEmpty() && t.elapsed() < 5000) { // ignored until the second passed
            dialog->writeButton()->click();
            QTest::qWait(20);
        }
        QVERIFY2(question.contains(QStringLiteral("still")), qPrintable(question));
        QVERIFY(dialog && dialog->isVisible()); // stays open: estimate again or cancel
        QVERIFY(!TestWaits::happensWithin(200, [unit] { return unit->calibration().gyroWritten; }));
        dialog->cancelButton()->click();
    }

    // Zero the heading, then set pitch 10 and roll -5: the unit's Euler angles read so. The
    // window opens once; closed and opened again, its fields are empty.
    void headingAndAttitudeReset_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("Chinese") << true;
        QTest::newRow("English") << false;
    }
    void headingAndAttitudeReset()
    {
        QFETCH(bool, chinese);
        MainWindow w;
        chinese ? w.slot_translate_Chinese() : w.slot_translate_English();
        SimulatedUnit *unit = openUnit(w, stillUnit(), 100);
        QVERIFY(unit);
        QVERIFY(receiveFrames(w, 20));
        QVERIFY(std::fabs(w.history()[Quantity::Yaw].last() - 30.0) < 0.5);

        w.ui().postureResetAction->trigger();
        auto *window = qobject_cast<posture_course *>(w.views()->window(ViewKind::PostureCourse));
        QVERIFY(window && window->isVisible());
        w.ui().postureResetAction->trigger();
        QCOMPARE(w.views()->window(ViewKind::PostureCourse), window);

        window->triggerButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(unit->calibration().headingZeros, 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(std::fabs(w.history()[Quantity::Yaw].last()) < 0.5, 5000);
        QVERIFY(receiveFrames(w, 10));
        QVERIFY(std::fabs(newestMean(w, Quantity::Yaw, 10)) < 0.5);

        window->pitchEdit()->setText(QStringLiteral("10"));
        window->rollEdit()->setText(QStringLiteral("-5"));
        shot(chinese ? QStringLiteral("reset-zh") : QStringLiteral("reset-en"));
        window->setButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(unit->calibration().attitudeSets, 1, 5000);
        QTRY_COMPARE(
            lastMessage(w),
            chinese ? QStringLiteral("姿态角设置指令已写入 ARV：俯仰 10°，横滚 -5°。")
                    : QStringLiteral("Attitude set command written to ARV: pitch 10°, roll -5°."));
        // Frames sent before the command took effect may still be on their way.
        QTRY_VERIFY_WITH_TIMEOUT(std::fabs(w.history()[Quantity::Pitch].last() - 10.0) < 0.05,
                                 5000);
        QVERIFY(receiveFrames(w, 10));
        QVERIFY(std::fabs(newestMean(w, Quantity::Pitch, 10) - 10.0) < 0.05);
        QVERIFY(std::fabs(newestMean(w, Quantity::Roll, 10) + 5.0) < 0.05);

        // Out of range: the error box, nothing sent.
        window->pitchEdit()->setText(QStringLiteral("180"));
        QString error;
        answerNextBox(QMessageBox::Ok, &error);
        window->setButton()->click();
        QCOMPARE(error.section(QLatin1Char('|'), 0, 0),
                 chinese ? QStringLiteral("当前输入不合法或者超过量程")
                         : QStringLiteral("The input is invalid or out of range."));
        QVERIFY(!TestWaits::happensWithin(
            100, [unit] { return unit->calibration().attitudeSets != 1; }));

        QVERIFY(window->close());
        QTRY_VERIFY(!w.views()->window(ViewKind::PostureCourse));
        w.ui().postureResetAction->trigger();
        window = qobject_cast<posture_course *>(w.views()->window(ViewKind::PostureCourse));
        QVERIFY(window && window->pitchEdit()->text().isEmpty() &&
                window->rollEdit()->text().isEmpty());
    }
};

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"

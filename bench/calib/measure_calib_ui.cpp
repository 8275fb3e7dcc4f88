// The calibration windows on the GUI thread: what handing the point cloud to the 3D scatter
// graph costs, and how long the GUI thread is held while a 3D calibration runs.
//   xvfb-run -a -s "-screen 0 1600x1000x24" ./build/bench/calib/measure_calib_ui [runs=3]
// A timer fires every 2 ms on the GUI thread; its longest gap (minus the 2 ms) is the GUI's
// longest stall. Figures:
// - first scatter graph: the GL context and shaders of the first graph made, to its first
//   frame (a one-time cost of the first calibration of a run);
// - hand-over of 10^5 points: the resetArray() call itself, and the longest stall in the
//   3 s after it (the graph draws the new points on the GUI thread);
// - a whole 3D calibration of 10^4, 10^5, 10^6 samples, as the main window runs it: worker
//   thread from start to its result, the result shown (text, quality, magnitude plot), the
//   points handed over and drawn, "cab.txt" written: the worker's times, the time the result
//   view took, and the GUI's longest stall while the worker computed and over the whole run.
// Under Xvfb the OpenGL driver is llvmpipe (the CPU draws): a GPU draws far faster.
#include "calib/CalibrationResultView.h"
#include "calib/calibrateWidget.h"
#include "calib/threadCalibrate.h"
#include "sim/UnitCore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QTemporaryDir>
#include <QTimer>
#include <QtDataVisualization/Q3DScatter>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace QtDataVisualization;

namespace {

// The GUI thread's longest gap between 2 ms ticks since the last reset.
class StallProbe : public QObject
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    void reset()
    {
        m_last = m_clock.nsecsElapsed();
        m_longest = 0;
    }
    // The longest stall: the gap beyond the timer's own 2 ms.
    double longestMs() const { return std::max(0.0, double(m_longest) / 1e6 - 2.0); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename Done> bool waitFor(Done done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        runFor(1);
    return done();
}

// The simulated unit's three turns, sampled n times: its raw field and attitude.
Calib3DInput turns(int n)
{
    UnitConfig config;
    UnitCore core(config);
    const MotionConfig &m = config.motion;
    const double from = m.restSeconds, span = 3 * m.turnSeconds;
    Calib3DInput in;
    for (auto *v : {&in.magX, &in.magY, &in.magZ, &in.pitch, &in.roll, &in.yaw, &in.gyroX,
                    &in.gyroY, &in.gyroZ})
        v->reserve(n);
    for (int i = 0; i < n; ++i) {
        const UnitCore::Reported r = core.reported(from + span * i / n, std::uint64_t(i));
        in.magX << r.magRaw[0];
        in.magY << r.magRaw[1];
        in.magZ << r.magRaw[2];
        in.pitch << r.euler[0];
        in.roll << r.euler[1];
        in.yaw << r.euler[2];
        in.gyroX << r.gyro[0];
        in.gyroY << r.gyro[1];
        in.gyroZ << r.gyro[2];
    }
    return in;
}

QScatterDataArray sphere(int n)
{
    QScatterDataArray a(n);
    for (int i = 0; i < n; ++i) {
        const double z = 1.0 - 2.0 * (i + 0.5) / n, r = std::sqrt(1.0 - z * z);
        const double phi = i * 2.399963229728653;
        a[i].setPosition(QVector3D(float(r * std::cos(phi)), float(r * std::sin(phi)), float(z)));
    }
    return a;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    StallProbe probe;
    QTemporaryDir dir;

    {
        probe.reset();
        QElapsedTimer t;
        t.start();
        calibrateWidget cloud;
        cloud.resize(800, 600);
        cloud.show();
        waitFor([&] { return cloud.graph()->isExposed(); }, 5000);
        runFor(2000);
        std::printf("first scatter graph: longest GUI stall %.0f ms (GL: %s)\n", probe.longestMs(),
                    QOpenGLContext::globalShareContext() ? "shared" : "own");
    }

    for (int run = 0; run < runs; ++run) {
        calibrateWidget cloud;
        cloud.resize(800, 600);
        cloud.show();
        waitFor([&] { return cloud.graph()->isExposed(); }, 5000);
        runFor(1000);
        const QScatterDataArray points = sphere(100000);
        probe.reset();
        QElapsedTimer t;
        t.start();
        cloud.setPoints(points);
        const double handMs = double(t.nsecsElapsed()) / 1e6;
        runFor(3000);
        std::printf("hand-over of 10^5 points: resetArray %.2f ms, longest GUI stall in the 3 s "
                    "after %.0f ms, points %d\n",
                    handMs, probe.longestMs(), cloud.pointCount());
    }

    for (int n : {10000, 100000, 1000000}) {
        const Calib3DInput input = turns(n);
        for (int run = 0; run < runs; ++run) {
            threadCalibrate thread(input, dir.filePath(QStringLiteral("cab.txt")));
            calibrateWidget *cloud = thread.widget();
            cloud->resize(800, 600);
            cloud->show();
            waitFor([&] { return cloud->graph()->isExposed(); }, 5000);
            runFor(1000);
            CalibrationResultView view(CalibrationResultView::Kind::Magnitudes);
            view.show();
            double resultMs = -1, viewMs = 0, computeStallMs = 0;
            QElapsedTimer t;
            QObject::connect(&thread, &threadCalibrate::sendCalibMessage, &view,
                             [&](QVector<double> before, QVector<double> after, int count) {
                                 resultMs = double(t.nsecsElapsed()) / 1e6;
                                 computeStallMs = probe.longestMs();
                                 QElapsedTimer v;
                                 v.start();
                                 view.showText(thread.result().text(), thread.result().quality);
                                 view.showMagnitudes(before, after, count);
                                 viewMs = double(v.nsecsElapsed()) / 1e6;
                             });
            probe.reset();
            t.start();
            thread.start();
            waitFor([&] { return thread.isFinished(); }, 60000);
            const double finishedMs = double(t.nsecsElapsed()) / 1e6;
            waitFor([&] { return cloud->pointCount() == n + 1; }, 10000);
            runFor(2000); // drawn
            std::printf("3D calibration of %7d samples: result after %6.1f ms (GUI's longest "
                        "stall meanwhile %3.0f ms), result view %5.1f ms, cab.txt done after "
                        "%6.0f ms, cloud %d points; longest GUI stall over the run %4.0f ms\n",
                        n, resultMs, computeStallMs, viewMs, finishedMs, cloud->pointCount(),
                        probe.longestMs());
        }
    }
    return 0;
}

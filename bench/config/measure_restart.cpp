// How long the GUI thread is away from its event loop while the port is restarted after new
// output settings (the data settings' and the output frequency's restart): the main window on
// "ARV-SIM" at 921600 baud, the unit sending at the given rate; a 2 ms precise timer on the GUI
// thread notes the time between its turns. Each round starts a restart, waits for it and for
// frames to come again. Printed: the longest gap during any restart, the median and the 95th
// percentile of the rounds' longest gaps, the longest gap while no restart ran (the same
// program, for comparison), and the frames received. Beside each gap, the GUI thread's own CPU
// time within it: on a shared machine a long gap with little CPU time is the thread waiting
// for a core, not work of the program.
//   xvfb-run -a -s "-screen 0 1600x1000x24" ./build/bench/config/measure_restart
//       [rounds] [hz=N] [views]
// "views" opens the sensor plot, the attitude plot and the 3D view before every round: the
// restart closes them, which is part of what it costs.
#include "app/MainWindow.h"
#include "config/PortRestart.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/ArvSimHost.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\narv.*.debug=false"));
    int rounds = 20;
    int hz = 200;
    bool views = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        bool ok = true;
        if (arg == "views")
            views = true;
        else if (arg.startsWith("hz="))
            hz = arg.mid(3).toInt(&ok);
        else
            rounds = std::max(1, arg.toInt(&ok));
        if (!ok) {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }

    UnitConfig config;
    config.baudRate = 921600;
    config.contentMask = ContentMask::All;
    auto host = std::make_unique<ArvSimHost>(config);
    if (!host->unit().setOutputRate(hz)) {
        std::fprintf(stderr, "the unit has no %d Hz rate\n", hz);
        return 2;
    }
    MainWindow w;
    w.setSimulatedUnitHost(std::move(host));
    w.resize(1400, 900);
    w.show();
    w.ui().baudCombo->setCurrentIndex(0); // 921600
    w.openSimulatedUnit();
    if (!w.isPortOpen()) {
        std::fprintf(stderr, "ARV-SIM did not open\n");
        return 1;
    }

    PortRestart *restart = w.portRestart();
    QElapsedTimer clock;
    clock.start();
    qint64 last = -1;
    qint64 roundLongest = 0;
    qint64 roundMostCpu = 0; // the most GUI-thread CPU time within one gap of the round
    qint64 idleLongest = 0;
    const auto threadCpuUs = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
    };
    qint64 lastCpu = threadCpuUs();
    bool wasRunning = false; // at the probe's previous turn
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(2);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed() / 1000; // microseconds
        const qint64 cpu = threadCpuUs();
        if (last >= 0) {
            const qint64 gap = now - last;
            // A gap that began during the restart is the restart's: its last step, the open,
            // ends the restart before the probe comes round again.
            if (wasRunning || restart->isRunning()) {
                roundLongest = std::max(roundLongest, gap);
                roundMostCpu = std::max(roundMostCpu, cpu - lastCpu);
            } else
                idleLongest = std::max(idleLongest, gap);
        }
        last = now;
        lastCpu = cpu;
        wasRunning = restart->isRunning();
    });

    const auto waitFor = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    waitFor(1500); // identified, frames flowing
    probe.start();
    std::vector<qint64> longest;
    std::vector<qint64> mostCpu;
    quint64 frames = 0; // the statistics start again at every open
    for (int r = 0; r < rounds; ++r) {
        if (views) {
            w.dataVisualization();
            w.imuVisualization();
            w.showDisplay();
            waitFor(300);
        }
        roundLongest = 0;
        roundMostCpu = 0;
        frames += w.parser().statistics().frames;
        restart->start();
        QEventLoop loop;
        QObject::connect(restart, &PortRestart::finished, &loop, &QEventLoop::quit);
        loop.exec();
        waitFor(20); // the probe's turn after the open
        longest.push_back(roundLongest);
        mostCpu.push_back(roundMostCpu);
        waitFor(400); // frames again
        if (!w.isPortOpen()) {
            std::fprintf(stderr, "the port did not open again in round %d\n", r);
            return 1;
        }
    }
    probe.stop();
    frames += w.parser().statistics().frames;
    std::vector<qint64> sorted = longest;
    std::sort(sorted.begin(), sorted.end());
    const auto ms = [](qint64 us) { return double(us) / 1000.0; };
    std::printf("%d restarts at %d Hz%s\n", rounds, hz,
                views ? ", three views open before each" : "");
    std::printf("longest event-loop gap during a restart: %.1f ms (median of the rounds' longest "
                "%.1f ms, 95th percentile %.1f ms)\n",
                ms(sorted.back()), ms(sorted[sorted.size() / 2]),
                ms(sorted[std::min(sorted.size() - 1, sorted.size() * 95 / 100)]));
    std::printf("longest gap outside the restarts: %.1f ms\n", ms(idleLongest));
    std::printf("rounds' longest gaps (ms):");
    for (qint64 us : longest)
        std::printf(" %.1f", ms(us));
    std::printf("\nthe GUI thread's CPU time within the rounds' busiest gap (ms):");
    for (qint64 us : mostCpu)
        std::printf(" %.1f", ms(us));
    std::printf("; at most %.1f ms\n", ms(*std::max_element(mostCpu.begin(), mostCpu.end())));
    std::printf("frames received: %llu\n", (unsigned long long)frames);
    return 0;
}

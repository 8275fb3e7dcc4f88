// End-to-end load of the live link: the program's main window on "ARV-SIM" at 921600 baud,
// the unit sending at 2000 Hz (by default timestamp, temperature, acceleration, angular
// velocity), no view window open. Runs for the given seconds (60 by default, after a settling
// second) and prints, divided by the measured time: the CPU of the process and its split by
// thread (the program's own: the GUI thread with reading, parsing and dispatch, and the
// serial I/O thread; the simulated unit's; the rest), the parse passes, the frames received
// and the frames the program lost, counted exactly (the unit's own skips for a full line
// excluded).
//   xvfb-run -a ./build/bench/serial/measure_live [seconds] [unpaced] [mask=0xHHHH] [hz=N]
//                                                  [record]
// mask is the content mask (0x84C0 by default; 0x0CC0 the 42-byte frame of temperature,
// acceleration, angular velocity and fusion state; 0x8CFF every item kind), hz the output
// rate (one of the unit's rates, 2000 by default). "record" presses Record before the
// measuring starts: every frame also goes into a record file (in a temporary folder).
#include "app/MainWindow.h"
#include "bench/support/CpuTime.h"
#include "bench/support/FrameLoss.h"
#include "bench/support/ThreadCpu.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/ArvSimHost.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\narv.*.debug=false"));
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    // "unpaced": the unit sends as fast as the program reads (no line pacing), which shows
    // how much the program itself can take.
    bool unpaced = false;
    bool record = false;
    std::uint16_t mask = ContentMask::Timestamp | ContentMask::Temperature |
                         ContentMask::Acceleration | ContentMask::AngularVelocity;
    int hz = 2000;
    for (int i = 2; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        bool ok = true;
        if (arg == "unpaced")
            unpaced = true;
        else if (arg == "record")
            record = true;
        else if (arg.startsWith("mask="))
            mask = static_cast<std::uint16_t>(arg.mid(5).toUInt(&ok, 0));
        else if (arg.startsWith("hz="))
            hz = arg.mid(3).toInt(&ok);
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }

    UnitConfig config;
    config.baudRate = 921600;
    config.unpaced = unpaced;
    config.contentMask = mask;
    auto host = std::make_unique<ArvSimHost>(config);
    SimulatedUnit &unit = host->unit();
    if (!unit.setOutputRate(hz)) {
        std::fprintf(stderr, "the unit has no %d Hz rate\n", hz);
        return 2;
    }
    std::printf("content mask 0x%04X, %d Hz asked%s%s\n", mask, hz, unpaced ? ", unpaced" : "",
                record ? ", recording" : "");
    MainWindow w;
    w.setSimulatedUnitHost(std::move(host));
    w.show();
    w.ui().baudCombo->setCurrentIndex(0); // 921600
    w.openSimulatedUnit();
    if (!w.isPortOpen()) {
        std::fprintf(stderr, "ARV-SIM did not open\n");
        return 1;
    }
    QTemporaryDir recordDir;
    if (record) {
        w.recorder().setRecordDir(recordDir.path());
        w.ui().recordAction->trigger();
        if (!w.recordingActive()) {
            std::fprintf(stderr, "the recording did not start\n");
            return 1;
        }
    }

    FrameLoss loss(unit);
    int passes = 0;
    QObject::connect(&w, &MainWindow::messageReady, &w, [&] {
        ++passes;
        for (const PassFrame &f : w.parser().frames())
            loss.frameSeen(f.tid);
    });

    // Measure after a settling second.
    double p0 = 0;
    int passes0 = 0;
    std::map<int, ThreadTime> threads0;
    LinkStatistics s0;
    QElapsedTimer window; // the timers may fire late: rates go by the window's real length
    QTimer::singleShot(1000, [&] {
        p0 = processCpuSeconds();
        threads0 = threadTimes();
        s0 = w.parser().statistics();
        passes0 = passes;
        loss.begin();
        window.start();
    });
    QTimer::singleShot(1000 + seconds * 1000, [&] {
        const double span = double(window.nsecsElapsed()) * 1e-9;
        const double all = processCpuSeconds() - p0;
        const CpuSplit split = cpuSplit(threads0, threadTimes());
        const LinkStatistics s = w.parser().statistics();
        const int passCount = passes - passes0;
        loss.end();
        QElapsedTimer drain; // the window's frames still on their way
        drain.start();
        while (!loss.complete() && drain.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        auto pct = [span](double cpu) { return 100.0 * cpu / span; };
        const double frames = double(s.frames - s0.frames);
        std::printf("measured %.2f s (%d asked)\n", span, seconds);
        std::printf("frames %.0f (%.1f per second), bytes %.0f (%.0f per second), %.1f passes "
                    "per second (%.2f frames a pass)\n",
                    frames, frames / span, double(s.bytes - s0.bytes),
                    double(s.bytes - s0.bytes) / span, passCount / span,
                    passCount > 0 ? frames / passCount : 0.0);
        std::printf("process CPU %.1f %% of one core: program %.1f %%, simulated unit %.1f %%, "
                    "other %.1f %% (%s), threads ended meanwhile %.1f %%\n",
                    pct(all), pct(split.program), pct(split.unit), pct(split.gl + split.other),
                    qPrintable(split.otherNames.join(QLatin1Char(','))), pct(all - split.sum()));
        std::printf("process CPU without the simulated unit %.1f %% of one core\n",
                    pct(all - split.unit));
        std::printf("unit: TIDs %lld, skipped for the line %lld; frames lost by the program "
                    "%lld (%s; the terminal was full for %lld bytes)\n",
                    (long long)loss.tids(), (long long)loss.skippedByUnit(), (long long)loss.lost(),
                    loss.complete() ? "every frame of the window accounted for"
                                    : "the window's last frames did not arrive",
                    (long long)loss.overrunBytes());
        std::printf("TID gaps %llu, checksum failures %llu, bytes discarded %llu\n",
                    (unsigned long long)(s.tidGaps - s0.tidGaps),
                    (unsigned long long)(s.checksumFailures - s0.checksumFailures),
                    (unsigned long long)(s.bytesDiscarded - s0.bytesDiscarded));
        if (record) {
            w.ui().stopRecordAction->trigger();
            const RecordWriter &writer = w.recorder().writer();
            std::printf("recorded: %llu rows (since Record, before the measuring too), %llu lost, "
                        "file %lld bytes\n",
                        (unsigned long long)writer.rowsWritten(),
                        (unsigned long long)writer.rowsLost(),
                        (long long)QFileInfo(w.recorder().recordFilePath()).size());
        }
        std::fflush(stdout);
        app.quit();
    });
    const int rc = app.exec();
    return rc;
}

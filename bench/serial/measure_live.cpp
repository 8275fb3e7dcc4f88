// End-to-end load of the live link: the program's main window on "ARV-SIM" at 921600 baud,
// the unit sending at 2000 Hz (by default timestamp, temperature, acceleration, angular
// velocity). Runs for the given seconds (60 by default) and prints the CPU time of the GUI
// thread (the program's own work: reading, parsing, dispatch) and of the whole process
// (which includes the simulated unit's thread), the frames received and the frames lost
// (TID gaps), split into the unit's own skips (frames the line had no room for) and the
// frames the unit sent that the program did not see.
//   xvfb-run -a ./build/bench/serial/measure_live [seconds] [unpaced] [mask=0xHHHH] [hz=N]
//                                                  [record]
// mask is the content mask (0x84C0 by default; 0x8CFF is every item kind), hz the output
// rate (one of the unit's rates, 2000 by default). "record" presses Record before the
// measuring starts: every frame also goes into a record file (in a temporary folder).
#include "app/MainWindow.h"
#include "bench/support/CpuTime.h"
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

    // Measure after a settling second.
    double t0 = 0, p0 = 0;
    LinkStatistics s0;
    UnitCounters u0;
    QElapsedTimer window; // the timers may fire late: rates go by the window's real length
    QTimer::singleShot(1000, [&] {
        t0 = threadCpuSeconds();
        p0 = processCpuSeconds();
        s0 = w.parser().statistics();
        u0 = unit.counters();
        window.start();
    });
    QTimer::singleShot(1000 + seconds * 1000, [&] {
        const double span = double(window.nsecsElapsed()) * 1e-9;
        const double gui = threadCpuSeconds() - t0;
        const double all = processCpuSeconds() - p0;
        const LinkStatistics &s = w.parser().statistics();
        const UnitCounters u = unit.counters();
        const double frames = double(s.frames - s0.frames);
        std::printf("seconds %.2f (%d asked)\n", span, seconds);
        std::printf("frames %.0f (%.1f per second), bytes %.0f (%.0f per second)\n", frames,
                    frames / span, double(s.bytes - s0.bytes), double(s.bytes - s0.bytes) / span);
        std::printf("GUI thread CPU %.2f s = %.1f %% of one core\n", gui, 100.0 * gui / span);
        std::printf("process CPU (with the simulated unit) %.2f s = %.1f %% of one core\n", all,
                    100.0 * all / span);
        std::printf(
            "TID gaps %llu, frames lost %llu, checksum failures %llu, bytes discarded %llu\n",
            (unsigned long long)(s.tidGaps - s0.tidGaps),
            (unsigned long long)(s.framesLost - s0.framesLost),
            (unsigned long long)(s.checksumFailures - s0.checksumFailures),
            (unsigned long long)(s.bytesDiscarded - s0.bytesDiscarded));
        // The two sides are read a moment apart: a frame or two on the way counts as a
        // difference of one or two either way.
        const double sent = double(u.framesSent - u0.framesSent);
        const double skipped = double(u.framesSkipped - u0.framesSkipped);
        std::printf("unit: frames sent %.0f (%.1f per second), skipped for the line %.0f (%.1f "
                    "per second)\n",
                    sent, sent / span, skipped, skipped / span);
        std::printf("program side: frames sent but not received %.0f, TIDs lost beyond the "
                    "unit's skips %.0f\n",
                    sent - frames, double(s.framesLost - s0.framesLost) - skipped);
        if (record) {
            w.ui().stopRecordAction->trigger();
            const RecordWriter &writer = w.recorder().writer();
            std::printf("recorded: %llu rows (since Record, before the measuring too), %llu lost, "
                        "file %lld bytes\n",
                        (unsigned long long)writer.rowsWritten(),
                        (unsigned long long)writer.rowsLost(),
                        (long long)QFileInfo(w.recorder().recordFilePath()).size());
        }
        app.quit();
    });
    const int rc = app.exec();
    return rc;
}

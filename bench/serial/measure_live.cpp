// End-to-end load of the live link: the program's main window on "ARV-SIM" at 921600 baud,
// the unit sending at 2000 Hz (timestamp, temperature, acceleration, angular velocity).
// Runs for the given seconds (60 by default) and prints the CPU time of the GUI thread (the
// program's own work: reading, parsing, dispatch) and of the whole process (which includes
// the simulated unit's thread), the frames received and the frames lost (TID gaps).
//   xvfb-run -a ./build/bench/serial/measure_live [seconds] [unpaced]
#include "app/MainWindow.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/ArvSimHost.h"

#include <QApplication>
#include <QComboBox>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace {

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(
        QStringLiteral("default.debug=false\narv.parser.items.debug=false"));
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    // "unpaced": the unit sends as fast as the program reads (no line pacing), which shows
    // how much the program itself can take.
    const bool unpaced = argc > 2 && QByteArray(argv[2]) == "unpaced";

    UnitConfig config;
    config.baudRate = 921600;
    config.frequencyCode = 13; // 2000 Hz
    config.unpaced = unpaced;
    config.contentMask = ContentMask::Timestamp | ContentMask::Temperature |
                         ContentMask::Acceleration | ContentMask::AngularVelocity;
    MainWindow w;
    w.setSimulatedUnitHost(std::make_unique<ArvSimHost>(config));
    w.show();
    w.ui().baudCombo->setCurrentIndex(0); // 921600
    w.openSimulatedUnit();
    if (!w.isPortOpen()) {
        std::fprintf(stderr, "ARV-SIM did not open\n");
        return 1;
    }

    // Measure after a settling second.
    double t0 = 0, p0 = 0;
    LinkStatistics s0;
    QTimer::singleShot(1000, [&] {
        t0 = threadCpuSeconds();
        p0 = processCpuSeconds();
        s0 = w.parser().statistics();
    });
    QTimer::singleShot(1000 + seconds * 1000, [&] {
        const double gui = threadCpuSeconds() - t0;
        const double all = processCpuSeconds() - p0;
        const LinkStatistics &s = w.parser().statistics();
        const double frames = double(s.frames - s0.frames);
        std::printf("seconds %d\n", seconds);
        std::printf("frames %.0f (%.1f per second), bytes %.0f (%.0f per second)\n", frames,
                    frames / seconds, double(s.bytes - s0.bytes),
                    double(s.bytes - s0.bytes) / seconds);
        std::printf("GUI thread CPU %.2f s = %.1f %% of one core\n", gui, 100.0 * gui / seconds);
        std::printf("process CPU (with the simulated unit) %.2f s = %.1f %% of one core\n", all,
                    100.0 * all / seconds);
        std::printf(
            "TID gaps %llu, frames lost %llu, checksum failures %llu, bytes discarded %llu\n",
            (unsigned long long)(s.tidGaps - s0.tidGaps),
            (unsigned long long)(s.framesLost - s0.framesLost),
            (unsigned long long)(s.checksumFailures - s0.checksumFailures),
            (unsigned long long)(s.bytesDiscarded - s0.bytesDiscarded));
        app.quit();
    });
    const int rc = app.exec();
    return rc;
}

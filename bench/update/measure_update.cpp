// A firmware update end to end, measured: the main window on "ARV-SIM", the update dialog
// sending a well-formed image to the simulated unit, as a user would. Prints the transfer time
// against the time the line needs for the image bytes alone and for every frame and answer
// byte of the stop-and-wait exchange, the GUI thread's longest stall during the transfer, and
// the CPU time of the program's threads and of the simulated unit's, each over the measured
// time.
//   xvfb-run -a ./build/bench/update/measure_update [baud=921600] [bytes=1000000] [english]
// The program starts in Chinese; "english" switches it first.
#include "app/MainWindow.h"
#include "bench/support/ThreadCpu.h"
#include "serial/ArvSimHost.h"
#include "serial/SerialLink.h"
#include "sim/FirmwareImage.h"
#include "update/QUpdateDialog.h"
#include "update/UpdateImage.h"
#include "update/UpdateTransfer.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

double loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').value(0).toDouble() : -1.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\narv.*.debug=false\n"
                                                    "arv.update.info=false"));
    int baud = 921600;
    int bytes = 1000 * 1000;
    bool english = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        bool ok = false;
        if (arg == "english")
            ok = english = true;
        else if (arg.startsWith("baud="))
            baud = arg.mid(5).toInt(&ok);
        else if (arg.startsWith("bytes="))
            bytes = arg.mid(6).toInt(&ok);
        if (!ok) {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }

    UnitConfig config;
    config.baudRate = baud;
    config.restartSeconds = 0.2;
    MainWindow w;
    w.setSimulatedUnitHost(std::make_unique<ArvSimHost>(config));
    if (english)
        w.slot_translate_English();
    w.show();
    const int baudIndex = w.ui().baudCombo->findText(QString::number(baud));
    if (baudIndex < 0) {
        std::fprintf(stderr, "the baud rate box has no %d\n", baud);
        return 2;
    }
    w.ui().baudCombo->setCurrentIndex(baudIndex);
    w.openSimulatedUnit();
    w.ui().updateAction->trigger();
    QUpdateDialog *dialog = w.updateDialog();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    const QByteArray image = FirmwareImage::make(QStringLiteral("V9.9.9-20260101-ARV806 -A"),
                                                 std::max(0, bytes - FirmwareImage::HeaderSize));
    QFile file(path);
    if (!w.isPortOpen() || !dialog || !file.open(QIODevice::WriteOnly) ||
        file.write(image) != image.size()) {
        std::fprintf(stderr, "no port, no dialog or no image file\n");
        return 1;
    }
    file.close();
    if (!dialog->loadFile(path))
        return 1;

    // Stop-and-wait: every frame crosses the line, then its 8-byte answer.
    qint64 wireBytes = 0;
    const QVector<QByteArray> frames = UpdateImage::frames(image);
    for (const QByteArray &f : frames)
        wireBytes += f.size() + 8;
    const double byteSeconds = 10.0 / baud;

    // The GUI thread's stalls: the gaps between the ticks of a 1 ms timer.
    QElapsedTimer tickClock;
    qint64 lastTick = -1, longestStall = 0, stallsOver50 = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = tickClock.elapsed();
        if (lastTick >= 0) {
            const qint64 stall = now - lastTick - 1;
            longestStall = std::max(longestStall, stall);
            stallsOver50 += stall > 50 ? 1 : 0;
        }
        lastTick = now;
    });

    QElapsedTimer clock;
    std::map<int, ThreadTime> threads0;
    const double load0 = loadAverage();
    QObject::connect(dialog, &QUpdateDialog::transferFinished, [&](const UpdateOutcome &o) {
        const double seconds = double(clock.nsecsElapsed()) * 1e-9;
        ticker.stop();
        const CpuSplit split = cpuSplit(threads0, threadTimes());
        const double imageLine = double(image.size()) * byteSeconds;
        const double wireLine = double(wireBytes) * byteSeconds;
        std::printf("%s, %d bytes in %d frames at %d baud: %.2f s, %d resends\n",
                    qPrintable(o.summary()), int(image.size()), int(frames.size()), baud, seconds,
                    o.resends);
        std::printf("line time of the image bytes alone %.2f s: ratio %.2f\n", imageLine,
                    seconds / imageLine);
        std::printf("line time of every frame and answer byte %.2f s: ratio %.2f\n", wireLine,
                    seconds / wireLine);
        std::printf("per frame %.2f ms (its line time %.2f ms for a full frame and answer)\n",
                    1000.0 * seconds / frames.size(), 1000.0 * 278 * byteSeconds);
        std::printf("GUI thread: longest stall %lld ms, %lld stalls over 50 ms\n",
                    static_cast<long long>(longestStall), static_cast<long long>(stallsOver50));
        std::printf("CPU over the transfer: program %.1f %%, simulated unit %.1f %%, other %.1f "
                    "%% of one core; load average %.2f before\n",
                    100.0 * split.program / seconds, 100.0 * split.unit / seconds,
                    100.0 * (split.gl + split.other) / seconds, load0);
        QTimer::singleShot(0, &app, [&] {
            w.serialLink()->close();
            app.exit(o.success() ? 0 : 1);
        });
    });
    // The dialog's own message and box go unread: nothing waits for a click.
    QTimer::singleShot(1000, [&] {
        threads0 = threadTimes();
        tickClock.start();
        ticker.start();
        clock.start();
        QMetaObject::invokeMethod(dialog, &QUpdateDialog::slotUpdateCommad);
    });
    return app.exec();
}

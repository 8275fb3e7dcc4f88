// A long run of the whole program as a user would leave it: "ARV-SIM" at 921600 baud and
// 2000 Hz, every view window open, a recording running. It looks for what only time shows:
// frames lost, memory that grows, rows that go missing from the record file.
//   xvfb-run -a -s "-screen 0 1600x1000x24" ./build/bench/soak/measure_soak
//       [seconds=600] [hz=2000] [mask=0x8CFF] [views=all|no3d|3d|none] [keep=FOLDER]
// mask is the unit's content mask (0x8CFF by default: every item kind, so that every view has
// data to show; the line then carries about 600 of the 2000 frames a second and the unit
// skips the rest, TID and all, as a real unit does); keep=FOLDER records into FOLDER and
// leaves the file there (by default a temporary folder, removed at the end).
// The recording starts with the measuring, after a settling second. Printed, with the load
// average of the machine at the start and the end (the run is only as good as the CPU it got):
// - a line a minute: frames received, the parser's TID gaps, rows written, resident
//   memory, the process CPU of that minute;
// - at the end, over the measured time (divided by its real length): frames received, the
//   TIDs the program missed (counted exactly over the unit's TIDs; the unit's own skips for
//   a full line are apart), the parser's TID gaps, checksum failures and discarded bytes;
//   resident memory at the start, after 1 minute and at the end; the rows of the record
//   file(s) against the frames received while recording; the process CPU split by thread
//   (program, simulated unit, OpenGL driver, other);
// - how the machine treated the run: the time the GUI thread, the serial I/O thread and the
//   unit's thread were runnable but waited for a processor, and the longest delay of a 10 ms
//   sleep (a stall longer than the terminal's buffer, about 220 ms at 921600 baud, costs
//   frames whichever of the program's or the unit's threads it holds up).
#include "app/MainWindow.h"
#include "bench/support/CpuTime.h"
#include "bench/support/FrameLoss.h"
#include "bench/support/ThreadCpu.h"
#include "bench/support/ViewWindows.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/ArvSimHost.h"
#include "serial/SerialLink.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

struct Options
{
    int seconds = 600;
    int hz = 2000;
    std::uint16_t mask = ContentMask::All;
    QByteArray views = "all";
    QString keep;
};

bool parse(int argc, char *argv[], Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        bool ok = true;
        if (arg.startsWith("hz="))
            o.hz = arg.mid(3).toInt(&ok);
        else if (arg.startsWith("mask="))
            o.mask = std::uint16_t(arg.mid(5).toUInt(&ok, 0));
        else if (arg.startsWith("views="))
            o.views = arg.mid(6);
        else if (arg.startsWith("keep="))
            o.keep = QString::fromLocal8Bit(arg.mid(5));
        else if (i == 1)
            o.seconds = std::max(1, arg.toInt(&ok));
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return false;
        }
    }
    return o.views == "all" || o.views == "no3d" || o.views == "3d" || o.views == "none";
}

QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').mid(0, 3).join(' ') : "?";
}

// Rows of the record files in folder: every line but each file's header.
struct RecordRows
{
    qint64 rows = 0;
    int files = 0;
    qint64 bytes = 0;
};

RecordRows countRows(const QString &folder)
{
    RecordRows r;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files)) {
        QFile f(info.filePath());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        qint64 lines = 0;
        while (!f.atEnd()) {
            const QByteArray block = f.read(1 << 20);
            lines += block.count('\n');
        }
        ++r.files;
        r.bytes += info.size();
        r.rows += std::max<qint64>(0, lines - 1);
    }
    return r;
}

// Seconds that the thread named `name` (the GUI thread for an empty name) waited for a
// processor between the two samples.
double waitedFor(const std::map<int, ThreadTime> &before, const std::map<int, ThreadTime> &after,
                 const QString &name)
{
    double waited = 0.0;
    for (const auto &entry : after) {
        const bool match =
            name.isEmpty() ? entry.first == int(::getpid()) : entry.second.name == name;
        if (!match)
            continue;
        const auto it = before.find(entry.first);
        waited += entry.second.waiting - (it == before.end() ? 0.0 : it->second.waiting);
    }
    return waited;
}

// Sleeps 10 ms again and again and notes how much later than asked it woke: the longest
// stall the machine imposed on a thread of this process.
class StallProbe
{
public:
    StallProbe()
        : m_thread([this] {
              pthread_setname_np(pthread_self(), "stall-probe");
              using Clock = std::chrono::steady_clock;
              while (!m_stop.load()) {
                  const auto t0 = Clock::now();
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
                  const double late =
                      std::chrono::duration<double, std::milli>(Clock::now() - t0).count() - 10.0;
                  if (late > m_longestMs.load())
                      m_longestMs = late;
                  if (late > 100.0)
                      ++m_over100;
              }
          })
    {
    }
    ~StallProbe()
    {
        m_stop = true;
        m_thread.join();
    }
    void reset()
    {
        m_longestMs = 0.0;
        m_over100 = 0;
    }
    double longestMs() const { return m_longestMs.load(); }
    int over100() const { return m_over100.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_longestMs{0.0};
    std::atomic<int> m_over100{0};
    std::thread m_thread;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\narv.*.debug=false"));
    Options opt;
    if (!parse(argc, argv, opt))
        return 2;

    UnitConfig config;
    config.baudRate = 921600;
    config.contentMask = opt.mask;
    auto host = std::make_unique<ArvSimHost>(config);
    SimulatedUnit &unit = host->unit();
    if (!unit.setOutputRate(opt.hz)) {
        std::fprintf(stderr, "the unit has no output rate of %d Hz\n", opt.hz);
        return 2;
    }
    QTemporaryDir tempDir;
    const QString recordDir = opt.keep.isEmpty() ? tempDir.path() : opt.keep;
    if (!QDir().mkpath(recordDir) || !QDir(recordDir).entryList(QDir::Files).isEmpty()) {
        std::fprintf(stderr, "the record folder %s cannot be made or is not empty\n",
                     qPrintable(recordDir));
        return 2;
    }

    MainWindow w;
    w.setSimulatedUnitHost(std::move(host));
    w.resize(1600, 1000);
    w.move(0, 0);
    w.show();
    w.ui().baudCombo->setCurrentIndex(0); // 921600
    w.recorder().setRecordDir(recordDir);

    FrameLoss loss(unit);
    quint64 framesWhileRecording = 0;
    QObject::connect(&w, &MainWindow::messageReady, &w, [&] {
        const auto &frames = w.parser().frames();
        for (const PassFrame &f : frames)
            loss.frameSeen(f.tid);
        // The pass wrote its rows before it told the views (MainWindow::readData).
        if (w.recordingActive())
            framesWhileRecording += quint64(frames.size());
    });
    w.openSimulatedUnit();
    if (!w.isPortOpen()) {
        std::fprintf(stderr, "ARV-SIM did not open\n");
        return 1;
    }
    const int views = openViewWindows(w, opt.views).size();
    std::printf("%d view windows, unit at %d Hz, content mask 0x%04X, 921600 baud, %d s, "
                "recording into %s\n",
                views, opt.hz, opt.mask, opt.seconds, qPrintable(recordDir));
    std::printf("load average at the start: %s\n", loadAverage().constData());
    std::fflush(stdout);

    double p0 = 0, pMinute = 0;
    std::map<int, ThreadTime> threads0;
    LinkStatistics s0;
    long rss0 = 0, rss1min = 0, rssMax = 0;
    QElapsedTimer window, minuteClock;
    bool failed = false;
    StallProbe stalls;
    QTimer::singleShot(1000, [&] {
        w.ui().recordAction->trigger();
        if (!w.recordingActive()) {
            std::fprintf(stderr, "the recording did not start\n");
            failed = true;
            app.quit();
            return;
        }
        p0 = pMinute = processCpuSeconds();
        threads0 = threadTimes();
        s0 = w.parser().statistics();
        rss0 = rssMax = residentKb();
        loss.begin();
        stalls.reset();
        window.start();
        minuteClock.start();
    });

    // Once a minute: progress, and the memory after the first minute.
    QTimer minute;
    int minutes = 0;
    QObject::connect(&minute, &QTimer::timeout, [&] {
        ++minutes;
        const long rss = residentKb();
        if (minutes == 1)
            rss1min = rss;
        const double p = processCpuSeconds();
        const double span = double(minuteClock.nsecsElapsed()) * 1e-9;
        minuteClock.restart();
        const LinkStatistics s = w.parser().statistics();
        std::printf("%3d min: frames %llu, parser TID gaps %llu, rows written %llu, resident "
                    "%.1f MB, process CPU %.1f %% of one core, load %s\n",
                    minutes, (unsigned long long)(s.frames - s0.frames),
                    (unsigned long long)(s.tidGaps - s0.tidGaps),
                    (unsigned long long)w.recorder().writer().rowsWritten(), rss / 1024.0,
                    100.0 * (p - pMinute) / span, loadAverage().constData());
        std::fflush(stdout);
        pMinute = p;
    });
    QTimer::singleShot(1000, [&] { minute.start(60000); });
    QTimer rssPoll;
    QObject::connect(&rssPoll, &QTimer::timeout, [&] { rssMax = std::max(rssMax, residentKb()); });
    rssPoll.start(1000);

    QTimer::singleShot(1000 + opt.seconds * 1000, [&] {
        minute.stop();
        const double span = double(window.nsecsElapsed()) * 1e-9;
        const double all = processCpuSeconds() - p0;
        const std::map<int, ThreadTime> threads1 = threadTimes();
        const CpuSplit split = cpuSplit(threads0, threads1);
        const long rssEnd = residentKb();
        const LinkStatistics s = w.parser().statistics();
        loss.end();
        QElapsedTimer drain; // the window's frames still on their way
        drain.start();
        while (!loss.complete() && drain.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // Stop as the user does: the rows received so far reach the file, which is closed.
        w.ui().stopRecordAction->trigger();
        const RecordWriter &writer = w.recorder().writer();
        const RecordRows rows = countRows(recordDir);

        auto pct = [span](double seconds) { return 100.0 * seconds / span; };
        const double frames = double(s.frames - s0.frames);
        std::printf("measured %.1f s (%d asked)\n", span, opt.seconds);
        std::printf("frames received %.0f (%.1f/s); unit TIDs %lld, skipped by the unit (line "
                    "full) %lld\n",
                    frames, frames / span, (long long)loss.tids(), (long long)loss.skippedByUnit());
        std::printf("TIDs the program missed %lld (%s; the terminal was full for %lld bytes); "
                    "parser: TID gaps %llu (the unit's skips included), checksum failures %llu, "
                    "bytes discarded %llu; hand-over buffer overflow %llu bytes\n",
                    (long long)loss.lost(),
                    loss.complete() ? "every TID of the window accounted for"
                                    : "the window's last frames did not arrive",
                    (long long)loss.overrunBytes(), (unsigned long long)(s.tidGaps - s0.tidGaps),
                    (unsigned long long)(s.checksumFailures - s0.checksumFailures),
                    (unsigned long long)(s.bytesDiscarded - s0.bytesDiscarded),
                    (unsigned long long)w.serialLink()->handOverStatistics().overflowBytes);
        std::printf("resident memory %.1f MB at the start, %.1f MB after 1 min, %.1f MB at the "
                    "end: %+.1f MB from 1 min to the end; peak %.1f MB\n",
                    rss0 / 1024.0, rss1min / 1024.0, rssEnd / 1024.0,
                    rss1min > 0 ? (rssEnd - rss1min) / 1024.0 : 0.0,
                    std::max(rssMax, rssEnd) / 1024.0);
        std::printf("record: %lld rows in %d file(s) (%.1f MB), frames received while recording "
                    "%llu: %s; the writer counts %llu rows written, %llu lost\n",
                    (long long)rows.rows, rows.files, rows.bytes / 1048576.0,
                    (unsigned long long)framesWhileRecording,
                    quint64(rows.rows) == framesWhileRecording ? "rows = frames"
                                                               : "ROWS DIFFER FROM FRAMES",
                    (unsigned long long)writer.rowsWritten(),
                    (unsigned long long)writer.rowsLost());
        std::printf("process CPU %.1f %% of one core: program %.1f %%, simulated unit %.1f %%, "
                    "OpenGL driver %.1f %%, other %.1f %% (%s), threads ended meanwhile %.1f %%\n",
                    pct(all), pct(split.program), pct(split.unit), pct(split.gl), pct(split.other),
                    qPrintable(split.otherNames.join(QLatin1Char(','))), pct(all - split.sum()));
        std::printf("process CPU without the simulated unit %.1f %% of one core\n",
                    pct(all - split.unit));
        std::printf("waiting for a processor while runnable: GUI thread %.1f s, arv-serial-io "
                    "%.1f s, arv-sim-unit %.1f s; longest delay of a 10 ms sleep %.0f ms, %d "
                    "delays over 100 ms\n",
                    waitedFor(threads0, threads1, QString()),
                    waitedFor(threads0, threads1, QStringLiteral("arv-serial-io")),
                    waitedFor(threads0, threads1, QStringLiteral("arv-sim-unit")),
                    stalls.longestMs(), stalls.over100());
        std::printf("load average at the end: %s\n", loadAverage().constData());
        std::fflush(stdout);
        app.quit();
    });
    const int rc = app.exec();
    w.slot_open_uart(); // closes the port and stops the unit before the window goes
    return failed ? 1 : rc;
}

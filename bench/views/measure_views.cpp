// The whole program with its view windows open on "ARV-SIM" at 921600 baud: CPU, redraws
// per window, the cost of a screen refresh, the answer time of the GUI and frames lost.
//   xvfb-run -a -s "-screen 0 1600x1000x24" ./build/bench/views/measure_views
//       [seconds=60] [hz=2000] [views=all|no3d|3d|none] [mask=0x0CC0] [reopen=0]
// mask is the unit's content mask (0x0CC0: temperature, acceleration, angular velocity and
// fusion state, a 42-byte frame; 0x8CFF: every item kind, which the line carries only about
// 600 times a second); reopen=N closes every view window and opens it again N times during
// the run. Figures over the measured time (after a settling second), divided by its real
// length:
// - CPU of the process (getrusage), split by thread: the program's own (the GUI thread and
//   arv-*), the simulated unit's (arv-sim-unit), the OpenGL driver's (llvmpipe-*) and the
//   rest (Qt's and the system's helpers); the process without the unit is what the program
//   costs with a real unit;
// - passes per second and the time of one pass (take the bytes, parse, note the views);
// - per window, screen refreshes it took part in per second;
// - the time of one hand-over (every open view fed and its plots replotted) and of one
//   screen refresh (the main window's update request: paints every dirty widget and
//   composes the window), and of the two together;
// - the GUI's answer time: an event posted every 100 ms from another thread, until handled;
// - frames lost by the program, exactly (the unit's own skips for a full line excluded);
// - resident memory at the start and the end of the measured time.
#include "app/MainWindow.h"
#include "app/RefreshPacer.h"
#include "app/ViewKinds.h"
#include "bench/support/CpuTime.h"
#include "bench/support/FrameLoss.h"
#include "bench/support/ThreadCpu.h"
#include "bench/support/ViewWindows.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/ArvSimHost.h"
#include "serial/SerialLink.h"
#include "views/combineWidget.h"
#include "views/openGLwidget.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Durations
{
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    double quantile(double q) const
    {
        if (ms.empty())
            return 0.0;
        std::vector<double> s = ms;
        const std::size_t i = std::min(s.size() - 1, std::size_t(q * double(s.size())));
        std::nth_element(s.begin(), s.begin() + std::ptrdiff_t(i), s.end());
        return s[i];
    }
    double max() const { return ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()); }
};

const QEvent::Type ProbeEventType = QEvent::Type(QEvent::User + 17);

class ProbeEvent : public QEvent
{
public:
    explicit ProbeEvent(Clock::time_point when) : QEvent(ProbeEventType), posted(when) {}
    Clock::time_point posted;
};

// Receives the probe events and notes how long each waited.
class Prober : public QObject
{
public:
    Durations delays;
    bool recording = false;
    bool event(QEvent *e) override
    {
        if (e->type() != ProbeEventType)
            return QObject::event(e);
        const auto posted = static_cast<ProbeEvent *>(e)->posted;
        if (recording)
            delays.add(std::chrono::duration<double, std::milli>(Clock::now() - posted).count());
        return true;
    }
};

// Times the events the measurement is about, as the event loop delivers them.
class MeasuringApp : public QApplication
{
public:
    using QApplication::QApplication;

    bool recording = false;
    QWidget *topLevel = nullptr;
    QObject *passReceiver = nullptr;
    std::map<QWidget *, QString> viewRoots; // view window -> name
    std::map<QString, int> refreshes;       // per view: screen refreshes it took part in
    std::map<QString, bool> painted;
    Durations refresh, pass, handOver, handOverAndRefresh;
    double lastHandOverMs = 0.0;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (!recording)
            return QApplication::notify(receiver, event);
        const QEvent::Type type = event->type();
        if (type == QEvent::Paint) {
            if (auto *w = qobject_cast<QWidget *>(receiver))
                if (const QString *name = viewOf(w))
                    painted[*name] = true;
            return QApplication::notify(receiver, event);
        }
        const bool isRefresh = type == QEvent::UpdateRequest && receiver == topLevel;
        const bool isPass = type == QEvent::MetaCall && receiver == passReceiver;
        const bool isHandOver = type == QEvent::Timer && receiver->parent() &&
                                qobject_cast<RefreshPacer *>(receiver->parent());
        if (!isRefresh && !isPass && !isHandOver)
            return QApplication::notify(receiver, event);
        const auto t0 = Clock::now();
        const bool r = QApplication::notify(receiver, event);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (isHandOver) {
            handOver.add(ms);
            lastHandOverMs = ms;
        } else if (isRefresh) {
            refresh.add(ms);
            handOverAndRefresh.add(lastHandOverMs + ms);
            lastHandOverMs = 0.0;
            for (auto &p : painted)
                if (p.second) {
                    ++refreshes[p.first];
                    p.second = false;
                }
        } else {
            pass.add(ms);
        }
        return r;
    }

private:
    const QString *viewOf(QWidget *w) const
    {
        for (QWidget *p = w; p; p = p->parentWidget()) {
            auto it = viewRoots.find(p);
            if (it != viewRoots.end())
                return &it->second;
        }
        return nullptr;
    }
};

struct Options
{
    int seconds = 60;
    int hz = 2000;
    QByteArray views = "all";
    std::uint16_t mask = ContentMask::Temperature | ContentMask::Acceleration |
                         ContentMask::AngularVelocity | ContentMask::FusionState;
    int reopen = 0;
};

bool parse(int argc, char *argv[], Options &o)
{
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        bool ok = true;
        if (arg.startsWith("hz="))
            o.hz = arg.mid(3).toInt(&ok);
        else if (arg.startsWith("views="))
            o.views = arg.mid(6);
        else if (arg.startsWith("mask="))
            o.mask = std::uint16_t(arg.mid(5).toUInt(&ok, 0));
        else if (arg.startsWith("reopen="))
            o.reopen = arg.mid(7).toInt(&ok);
        else if (arg == "all" || arg == "no3d" || arg == "3d" || arg == "none")
            o.views = arg;
        else if (positional == 0 && (++positional, true))
            o.seconds = std::max(1, arg.toInt(&ok));
        else if (positional == 1 && (++positional, true))
            o.hz = arg.toInt(&ok);
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return false;
        }
    }
    return o.views == "all" || o.views == "no3d" || o.views == "3d" || o.views == "none";
}

// Opens the view windows the options ask for and notes them for the paint counts.
void openViews(MainWindow &w, MeasuringApp &app, const QByteArray &which)
{
    for (const OpenedView &v : openViewWindows(w, which))
        app.viewRoots[v.window] = v.window->metaObject()->className();
}

} // namespace

int main(int argc, char *argv[])
{
    MeasuringApp app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\narv.*.debug=false"));
    Options opt;
    if (!parse(argc, argv, opt))
        return 2;

    UnitConfig config;
    config.baudRate = 921600;
    config.contentMask = opt.mask;
    auto host = std::make_unique<ArvSimHost>(config);
    ArvSimHost *sim = host.get();
    if (!sim->unit().setOutputRate(opt.hz)) {
        std::fprintf(stderr, "the unit has no output rate of %d Hz\n", opt.hz);
        return 1;
    }
    MainWindow w;
    w.setSimulatedUnitHost(std::move(host));
    w.resize(1600, 1000);
    w.move(0, 0);
    w.show();
    w.ui().baudCombo->setCurrentIndex(0); // 921600
    FrameLoss loss(sim->unit());
    QObject::connect(&w, &MainWindow::messageReady, &w, [&] {
        for (const PassFrame &f : w.parser().frames())
            loss.frameSeen(f.tid);
    });
    w.openSimulatedUnit();
    if (!w.isPortOpen()) {
        std::fprintf(stderr, "ARV-SIM did not open\n");
        return 1;
    }
    openViews(w, app, opt.views);
    app.topLevel = &w;
    app.passReceiver = &w;

    Prober prober;
    std::atomic<bool> probing{true};
    std::thread poster([&] {
        pthread_setname_np(pthread_self(), "probe");
        while (probing.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            QCoreApplication::postEvent(&prober, new ProbeEvent(Clock::now()));
        }
    });

    double p0 = 0;
    std::map<int, ThreadTime> threads0;
    LinkStatistics s0;
    long rss0 = 0, rssMax = 0;
    QElapsedTimer window;
    Durations reopening; // closing every view window and opening it again
    // Drawings of the 3D scene, over the 3D windows of the run.
    auto scenesNow = [&w] {
        auto *view = qobject_cast<combineWidget *>(w.views()->window(ViewKind::Display3D));
        return view ? view->scene()->scenesDrawn() : 0;
    };
    long scenes = 0;
    QTimer::singleShot(1000, [&] {
        p0 = processCpuSeconds();
        threads0 = threadTimes();
        s0 = w.parser().statistics();
        rss0 = residentKb();
        scenes = -scenesNow();
        loss.begin();
        window.start();
        app.recording = true;
        prober.recording = true;
    });
    for (int k = 1; k <= opt.reopen; ++k)
        QTimer::singleShot(1000 + k * opt.seconds * 1000 / (opt.reopen + 1), [&] {
            const auto t0 = Clock::now();
            scenes += scenesNow();
            w.ui().mdiArea->closeAllSubWindows();
            app.viewRoots.clear();
            openViews(w, app, opt.views);
            reopening.add(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        });
    QTimer rssPoll;
    QObject::connect(&rssPoll, &QTimer::timeout, [&] { rssMax = std::max(rssMax, residentKb()); });
    rssPoll.start(1000);

    QTimer::singleShot(1000 + opt.seconds * 1000, [&] {
        app.recording = false;
        prober.recording = false;
        const double span = double(window.nsecsElapsed()) * 1e-9;
        const double all = processCpuSeconds() - p0;
        const CpuSplit split = cpuSplit(threads0, threadTimes());
        const long rss1 = residentKb();
        scenes += scenesNow();
        const LinkStatistics s = w.parser().statistics();
        loss.end();
        // The frames of the window still on their way are waited for.
        QElapsedTimer drain;
        drain.start();
        while (!loss.complete() && drain.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

        auto pct = [span](double seconds) { return 100.0 * seconds / span; };
        const double frames = double(s.frames - s0.frames);
        std::printf("views %s, unit at %d Hz, content mask 0x%04X, 921600 baud, views reopened "
                    "%d times\n",
                    opt.views.constData(), opt.hz, opt.mask, opt.reopen);
        std::printf("measured %.2f s (%d asked)\n", span, opt.seconds);
        std::printf("frames %.0f (%.1f/s); unit TIDs %lld, skipped by the unit (line full) %lld\n",
                    frames, frames / span, (long long)loss.tids(), (long long)loss.skippedByUnit());
        std::printf("process CPU %.1f %% of one core: program %.1f %%, simulated unit %.1f %%, "
                    "OpenGL driver %.1f %%, other %.1f %% (%s), threads ended meanwhile %.1f %%\n",
                    pct(all), pct(split.program), pct(split.unit), pct(split.gl), pct(split.other),
                    qPrintable(split.otherNames.join(QLatin1Char(','))), pct(all - split.sum()));
        std::printf("process CPU without the simulated unit %.1f %% of one core\n",
                    pct(all - split.unit));
        std::printf("passes %.1f/s; pass time p50 %.3f ms, p95 %.3f ms, max %.2f ms\n",
                    double(app.pass.ms.size()) / span, app.pass.quantile(0.5),
                    app.pass.quantile(0.95), app.pass.max());
        std::printf("screen refreshes %.1f/s; refresh time p50 %.2f ms, p95 %.2f ms, max %.2f ms\n",
                    double(app.refresh.ms.size()) / span, app.refresh.quantile(0.5),
                    app.refresh.quantile(0.95), app.refresh.max());
        std::printf("hand-overs %.1f/s (feed every open view and replot its plots); time p50 "
                    "%.2f ms, p95 %.2f ms\n",
                    double(app.handOver.ms.size()) / span, app.handOver.quantile(0.5),
                    app.handOver.quantile(0.95));
        std::printf("one refresh of all open views (hand-over + screen refresh): p50 %.2f ms, "
                    "p95 %.2f ms, max %.2f ms\n",
                    app.handOverAndRefresh.quantile(0.5), app.handOverAndRefresh.quantile(0.95),
                    app.handOverAndRefresh.max());
        for (const auto &v : app.refreshes)
            std::printf("  %-22s refreshes %6.1f/s\n", qPrintable(v.first),
                        double(v.second) / span);
        if (opt.views == "all" || opt.views == "3d")
            std::printf("3D scenes drawn %.1f/s\n", double(scenes) / span);
        if (opt.reopen > 0)
            std::printf("closing and opening every view: p50 %.1f ms, max %.1f ms\n",
                        reopening.quantile(0.5), reopening.max());
        std::printf("answer time p50 %.1f ms, p95 %.1f ms, max %.1f ms (%zu probes)\n",
                    prober.delays.quantile(0.5), prober.delays.quantile(0.95), prober.delays.max(),
                    prober.delays.ms.size());
        const HandOverStatistics h = w.serialLink()->handOverStatistics();
        std::printf("frames lost by the program %lld (of %lld sent; %s; the terminal was full "
                    "for %lld bytes); TID gaps %llu; hand-over "
                    "buffer peak %lld bytes, overflow %llu bytes; checksum failures %llu, bytes "
                    "discarded %llu\n",
                    (long long)loss.lost(), (long long)(loss.tids() - loss.skippedByUnit()),
                    loss.complete() ? "every frame of the window accounted for"
                                    : "the window's last frames did not arrive",
                    (long long)loss.overrunBytes(), (unsigned long long)(s.tidGaps - s0.tidGaps),
                    (long long)h.highWater, (unsigned long long)h.overflowBytes,
                    (unsigned long long)(s.checksumFailures - s0.checksumFailures),
                    (unsigned long long)(s.bytesDiscarded - s0.bytesDiscarded));
        std::printf("resident memory %.1f MB at the start, %.1f MB at the end (%+.1f MB), peak "
                    "%.1f MB\n",
                    rss0 / 1024.0, rss1 / 1024.0, (rss1 - rss0) / 1024.0,
                    std::max(rssMax, rss1) / 1024.0);
        std::fflush(stdout);
        app.quit();
    });
    const int rc = app.exec();
    probing = false;
    poster.join();
    w.slot_open_uart(); // closes the port and stops the unit before the window goes
    return rc;
}

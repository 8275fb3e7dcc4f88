// The whole program with every view window open on "ARV-SIM" at 921600 baud: CPU, redraws
// per window, the cost of a screen refresh, the answer time of the GUI and frames lost.
//   xvfb-run -a -s "-screen 0 1600x1000x24" ./build/bench/views/measure_views
//       [seconds=60] [hz=2000] [views=all|no3d|3d|none]
// The unit sends every item kind. Figures (after a settling second):
// - CPU of the process (which includes the simulated unit's thread) and of the GUI thread;
// - passes per second and the time of one pass (read, parse, feed every open view);
// - per window, screen refreshes it took part in per second;
// - the time of one hand-over (every open view fed and its plots replotted) and of one
//   screen refresh (the main window's update request: paints every dirty widget and
//   composes the window), and of the two together;
// - the GUI's answer time: an event posted every 100 ms from another thread, until handled;
// - TID gaps and frames lost on the program's side (missing TIDs the unit did not skip).
#include "app/MainWindow.h"
#include "app/RefreshPacer.h"
#include "app/ViewKinds.h"
#include "bench/support/CpuTime.h"
#include "protocol/CommandFrame.h"
#include "protocol/FrameParser.h"
#include "serial/ArvSimHost.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
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

} // namespace

int main(int argc, char *argv[])
{
    MeasuringApp app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\narv.*.debug=false"));
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    const int hz = argc > 2 ? atoi(argv[2]) : 2000;
    const QByteArray which = argc > 3 ? QByteArray(argv[3]) : QByteArray("all");

    UnitConfig config;
    config.baudRate = 921600;
    config.contentMask = ContentMask::All;
    auto host = std::make_unique<ArvSimHost>(config);
    ArvSimHost *sim = host.get();
    if (!sim->unit().setOutputRate(hz)) {
        std::fprintf(stderr, "the unit has no output rate of %d Hz\n", hz);
        return 1;
    }
    MainWindow w;
    w.setSimulatedUnitHost(std::move(host));
    w.resize(1600, 1000);
    w.move(0, 0);
    w.show();
    w.ui().baudCombo->setCurrentIndex(0); // 921600
    w.openSimulatedUnit();
    if (!w.isPortOpen()) {
        std::fprintf(stderr, "ARV-SIM did not open\n");
        return 1;
    }

    // Every view window of the View menu: the kinds the table binds from the start.
    for (const ViewKindInfo &info : viewKinds()) {
        const bool is3D = info.kind == ViewKind::Display3D;
        if (!info.bind || which == "none" || (which == "no3d" && is3D) || (which == "3d" && !is3D))
            continue;
        (w.ui().*info.action)->trigger();
        if (QWidget *v = w.views()->window(info.kind))
            app.viewRoots[v] = v->metaObject()->className();
    }
    // Side by side in a grid, as a user would place them (windows wider than their cell
    // overlap their neighbours).
    {
        const QList<QMdiSubWindow *> subs = w.ui().mdiArea->subWindowList();
        const QSize area = w.ui().mdiArea->viewport()->size();
        const int columns = 4, rows = 2;
        for (int i = 0; i < subs.size(); ++i)
            subs[i]->setGeometry((i % columns) * area.width() / columns,
                                 (i / columns % rows) * area.height() / rows,
                                 area.width() / columns, area.height() / rows);
    }
    app.topLevel = &w;
    app.passReceiver = &w;

    Prober prober;
    std::atomic<bool> probing{true};
    std::thread poster([&] {
        while (probing.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            QCoreApplication::postEvent(&prober, new ProbeEvent(Clock::now()));
        }
    });

    double t0 = 0, p0 = 0;
    LinkStatistics s0;
    UnitCounters u0;
    QTimer::singleShot(1000, [&] {
        t0 = threadCpuSeconds();
        p0 = processCpuSeconds();
        s0 = w.parser().statistics();
        u0 = sim->unit().counters();
        app.recording = true;
        prober.recording = true;
    });
    QTimer::singleShot(1000 + seconds * 1000, [&] {
        app.recording = false;
        prober.recording = false;
        const double gui = threadCpuSeconds() - t0;
        const double all = processCpuSeconds() - p0;
        const LinkStatistics &s = w.parser().statistics();
        const UnitCounters u = sim->unit().counters();
        const double frames = double(s.frames - s0.frames);
        std::printf("views %s, %d s, unit at %d Hz, every item kind, 921600 baud\n",
                    which.constData(), seconds, hz);
        std::printf("frames %.0f (%.1f/s); unit sent %llu, skipped %llu (line full)\n", frames,
                    frames / seconds, (unsigned long long)(u.framesSent - u0.framesSent),
                    (unsigned long long)(u.framesSkipped - u0.framesSkipped));
        std::printf("process CPU %.1f %% of one core; GUI thread %.1f %%\n", 100.0 * all / seconds,
                    100.0 * gui / seconds);
        std::printf("passes %.1f/s; pass time p50 %.2f ms, p95 %.2f ms, max %.2f ms\n",
                    double(app.pass.ms.size()) / seconds, app.pass.quantile(0.5),
                    app.pass.quantile(0.95), app.pass.max());
        std::printf("screen refreshes %.1f/s; refresh time p50 %.2f ms, p95 %.2f ms, max %.2f ms\n",
                    double(app.refresh.ms.size()) / seconds, app.refresh.quantile(0.5),
                    app.refresh.quantile(0.95), app.refresh.max());
        std::printf("hand-overs %.1f/s (feed every open view and replot its plots); time p50 "
                    "%.2f ms, p95 %.2f ms\n",
                    double(app.handOver.ms.size()) / seconds, app.handOver.quantile(0.5),
                    app.handOver.quantile(0.95));
        std::printf("one refresh of all open views (hand-over + screen refresh): p50 %.2f ms, "
                    "p95 %.2f ms, max %.2f ms\n",
                    app.handOverAndRefresh.quantile(0.5), app.handOverAndRefresh.quantile(0.95),
                    app.handOverAndRefresh.max());
        for (const auto &v : app.viewRoots)
            std::printf("  %-22s refreshes %6.1f/s\n", qPrintable(v.second),
                        double(app.refreshes[v.second]) / seconds);
        std::printf("answer time p50 %.1f ms, p95 %.1f ms, max %.1f ms (%zu probes)\n",
                    prober.delays.quantile(0.5), prober.delays.quantile(0.95), prober.delays.max(),
                    prober.delays.ms.size());
        const quint64 lost = s.framesLost - s0.framesLost;
        const quint64 skipped = u.framesSkipped - u0.framesSkipped;
        std::printf("TID gaps %llu, TIDs missing %llu, of which the unit skipped %llu: lost by "
                    "the program %lld; checksum failures %llu, bytes discarded %llu\n",
                    (unsigned long long)(s.tidGaps - s0.tidGaps), (unsigned long long)lost,
                    (unsigned long long)skipped, (long long)lost - (long long)skipped,
                    (unsigned long long)(s.checksumFailures - s0.checksumFailures),
                    (unsigned long long)(s.bytesDiscarded - s0.bytesDiscarded));
        app.quit();
    });
    const int rc = app.exec();
    probing = false;
    poster.join();
    w.slot_open_uart(); // closes the port and stops the unit before the window goes
    return rc;
}

// Drawing cost of the sensor data window. Run under a display:
//   xvfb-run -a -s "-screen 0 1600x1000x24" ./build/bench/views/bench_views
#include "views/senseDataWidget.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

QVector<double> wave(int n, double phase, double amplitude)
{
    QVector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = amplitude * std::sin(i * 0.05 + phase);
    return v;
}

struct Feed
{
    QVector<double> series[9];
    explicit Feed(int n)
    {
        for (int i = 0; i < 9; ++i)
            series[i] = wave(n, i, 1.0 + i);
    }
    void into(senseDataWidget &w) const
    {
        w.setAcceleration(series[0], series[1], series[2]);
        w.setAngularVelocity(series[3], series[4], series[5]);
        w.setMagnetic(series[6], series[7], series[8]);
        w.setDisplayLength(1000);
    }
};

// One synchronous redraw of the three plots with 9 x 1000 points.
void BM_SenseDataRedraw(benchmark::State &state)
{
    senseDataWidget w;
    w.show();
    QApplication::processEvents();
    const Feed feed(1000);
    feed.into(w);
    w.realtimePaintSlot();
    for (auto _ : state)
        w.redrawNow();
}
BENCHMARK(BM_SenseDataRedraw)->Unit(benchmark::kMillisecond);

// One data update (copy in, curves and axes refreshed) without drawing: the part that
// still runs once per parse pass.
void BM_SenseDataUpdate(benchmark::State &state)
{
    senseDataWidget w;
    const Feed feed(1000);
    for (auto _ : state) {
        feed.into(w);
        w.realtimePaintSlot();
    }
}
BENCHMARK(BM_SenseDataUpdate)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

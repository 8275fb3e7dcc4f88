// Cost of the two magnetometer fits, and of the calibration workers' computations from
// "Finish" to the result (fit, normalisation, magnitudes, point cloud, quality figures; and
// the "cab.txt" text and file apart), against the number of samples.
//
//   ./build/bench/calib/bench_calib
//   ./build/bench/calib/bench_calib --benchmark_filter='Calib3D/1000000'   (one case, e.g.
//   under /usr/bin/time -v for the peak memory)
//   ./build/bench/calib/bench_calib --benchmark_filter='Worker|Cab'   (the workers only)

#include "calib/CabFile.h"
#include "calib/Calib2DComputation.h"
#include "calib/Calib3DComputation.h"
#include "calib/Calib3DFit.h"
#include "calib/DoubleArray.h"
#include "calib/Ellipse2DFit.h"

#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

// Readings of a slightly distorted sensor at random attitudes (the fit's cost does not depend
// on the values, only their count; realistic values keep the arithmetic on normal numbers).
void makeCalib3DSamples(int n, std::vector<double> &field, std::vector<double> &attitudes)
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> angle(-180, 180), pitch(-85, 85), noise(-0.01, 0.01);
    field.resize(3 * static_cast<std::size_t>(n));
    attitudes.resize(3 * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double t = pitch(rng), f = angle(rng), p = angle(rng);
        attitudes[3 * i] = t;
        attitudes[3 * i + 1] = f;
        attitudes[3 * i + 2] = p;
        const double ct = std::cos(t * kPi / 180), st = std::sin(t * kPi / 180);
        const double cf = std::cos(f * kPi / 180), sf = std::sin(f * kPi / 180);
        field[i] = 1.1 * ct * std::cos(p) + 0.2 + noise(rng);
        field[i + n] = 0.9 * (sf * st + cf) + noise(rng) - 0.1;
        field[i + 2 * static_cast<std::size_t>(n)] = 1.05 * (cf * ct - sf) + noise(rng) + 0.3;
    }
}

void Calib3D(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<double> field, attitudes;
    makeCalib3DSamples(n, field, attitudes);
    const DoubleArray fieldArray = DoubleArray::wrap(field.data(), n, 3);
    const DoubleArray attitudeArray = DoubleArray::wrap(attitudes.data(), 3, n);
    // A singular set would end the fit before its main work and time the wrong thing.
    if (!std::isfinite(fitCalib3D(fieldArray, attitudeArray)[0])) {
        state.SkipWithError("samples do not determine the fit");
        return;
    }
    for (auto _ : state) {
        Calib3DParameters x = fitCalib3D(fieldArray, attitudeArray);
        benchmark::DoNotOptimize(x);
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}

void Ellipse2D(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> noise(-0.02, 0.02);
    std::vector<double> x(n), y(n);
    for (int j = 0; j < n; ++j) {
        const double t = 2 * kPi * j / n;
        x[j] = 1 + 3 * std::cos(t) * std::cos(0.3) - 2 * std::sin(t) * std::sin(0.3) + noise(rng);
        y[j] = -2 + 3 * std::cos(t) * std::sin(0.3) + 2 * std::sin(t) * std::cos(0.3) + noise(rng);
    }
    const DoubleArray xArray = DoubleArray::wrap(x.data(), n, 1);
    const DoubleArray yArray = DoubleArray::wrap(y.data(), n, 1);
    if (!std::isfinite(fitEllipse2D(xArray, yArray).a)) {
        state.SkipWithError("samples do not describe an ellipse");
        return;
    }
    for (auto _ : state) {
        EllipseFit fit = fitEllipse2D(xArray, yArray);
        benchmark::DoNotOptimize(fit);
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}

// The series a 3D calibration collects: the same distorted sensor at random attitudes, as the
// collector hands them over.
Calib3DInput makeWorkerInput(int n)
{
    std::vector<double> field, attitudes;
    makeCalib3DSamples(n, field, attitudes);
    Calib3DInput in;
    for (QVector<double> *v : {&in.magX, &in.magY, &in.magZ, &in.pitch, &in.roll, &in.yaw,
                               &in.gyroX, &in.gyroY, &in.gyroZ})
        v->resize(n);
    for (int i = 0; i < n; ++i) {
        in.magX[i] = field[std::size_t(i)];
        in.magY[i] = field[std::size_t(i + n)];
        in.magZ[i] = field[std::size_t(i) + 2 * std::size_t(n)];
        in.pitch[i] = attitudes[3 * std::size_t(i)];
        in.roll[i] = attitudes[3 * std::size_t(i) + 1];
        in.yaw[i] = attitudes[3 * std::size_t(i) + 2];
        in.gyroX[i] = 0.01 * (i % 7);
        in.gyroY[i] = -0.02;
        in.gyroZ[i] = 0.5;
    }
    return in;
}

void Calib3DWorker(benchmark::State &state)
{
    const Calib3DInput in = makeWorkerInput(static_cast<int>(state.range(0)));
    const std::atomic<bool> stop{false};
    if (Calib3DComputation::compute(in, stop).quality.parameters !=
        CalibrationQuality::ParameterState::Valid) {
        state.SkipWithError("samples do not determine the fit");
        return;
    }
    for (auto _ : state) {
        Calib3DResult r = Calib3DComputation::compute(in, stop);
        benchmark::DoNotOptimize(r);
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void Calib2DWorker(benchmark::State &state)
{
    const Calib3DInput full = makeWorkerInput(static_cast<int>(state.range(0)));
    const Calib2DInput in{full.magX, full.magY};
    const std::atomic<bool> stop{false};
    for (auto _ : state) {
        Calib2DResult r = Calib2DComputation::compute(in, stop);
        benchmark::DoNotOptimize(r);
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void CabText(benchmark::State &state)
{
    const Calib3DInput in = makeWorkerInput(static_cast<int>(state.range(0)));
    const std::atomic<bool> stop{false};
    for (auto _ : state) {
        QByteArray text = CabFile::format(in, stop);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void CabWrite(benchmark::State &state)
{
    const std::atomic<bool> stop{false};
    const QByteArray text =
        CabFile::format(makeWorkerInput(static_cast<int>(state.range(0))), stop);
    const QString path = QDir::temp().filePath(QStringLiteral("bench_calib_cab.txt"));
    for (auto _ : state) {
        if (!CabFile::write(path, text).ok)
            state.SkipWithError("cannot write into the temporary folder");
    }
    QFile::remove(path);
    state.SetBytesProcessed(state.iterations() * text.size());
}

} // namespace

BENCHMARK(Calib3DWorker)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(Calib2DWorker)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(CabText)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(CabWrite)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Calib3D)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(Ellipse2D)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

BENCHMARK_MAIN();

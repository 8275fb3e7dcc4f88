// The parse pass on a live-like stream: frames with every item kind, with and without
// garbage between them, read in small and large chunks. Each pass does what the main
// window's pass does apart from drawing: feed (scan, checks, decoding, history series,
// per-pass series, names and flags), trim the history to 1000 values and hand out a copy
// of the sample vector. Compare bytes_per_second with the 921600-baud line: 92,160 B/s.
// chunk 0 feeds exactly one frame a pass (every frame of the stream has the same size): the
// cost of one frame, as at high rates when the port reports each frame on its own.
#include "protocol/FrameParser.h"
#include "tests/support/FrameBytes.h"

#include <QLoggingCategory>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

namespace {

constexpr double LineBytesPerSecond = 92160.0;

QByteArray makeStream(int garbagePercent)
{
    QRandomGenerator rng(1234);
    QByteArray s;
    int tid = 0;
    while (s.size() < 4 * 1024 * 1024) {
        const QByteArray f = FrameBytes::frame(tid & 0xFFFF, FrameBytes::fullPayload(tid));
        ++tid;
        s += f;
        if (garbagePercent > 0) {
            // garbage / (frame + garbage) = percent
            const int n = f.size() * garbagePercent / (100 - garbagePercent);
            for (int i = 0; i < n; ++i)
                s.append(char(rng.bounded(256)));
        }
    }
    return s;
}

void parsePass(benchmark::State &state)
{
    QLoggingCategory::setFilterRules(QStringLiteral("arv.parser.items.debug=false"));
    const QByteArray stream = makeStream(int(state.range(1)));
    const int chunk = state.range(0) > 0 ? int(state.range(0))
                                         : FrameBytes::frame(0, FrameBytes::fullPayload(0)).size();
    FrameParser parser;
    QVector<double> emitted;
    qint64 bytes = 0;
    int pos = 0;
    for (auto _ : state) {
        const int n = std::min(chunk, stream.size() - pos);
        parser.feed(stream.constData() + pos, n);
        parser.trimHistory(1000);
        emitted = parser.sampleVector(); // what messageReady hands out
        benchmark::DoNotOptimize(emitted.constData());
        bytes += n;
        pos += n;
        if (pos >= stream.size())
            pos = 0;
    }
    state.SetBytesProcessed(bytes);
    state.counters["frames"] = double(parser.statistics().frames);
    state.counters["x_line_rate"] =
        benchmark::Counter(double(bytes) / LineBytesPerSecond, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(parsePass)
    ->ArgNames({"chunk", "garbage%"})
    ->Args({0, 0})
    ->Args({64, 0})
    ->Args({64, 10})
    ->Args({4096, 0})
    ->Args({4096, 10});

BENCHMARK_MAIN();

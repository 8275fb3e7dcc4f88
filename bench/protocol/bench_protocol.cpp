// Decoding speed of output frames: envelope check, item walk and value decoding, as the
// parse pass does it. Compare bytes_per_second with the 921600-baud line: 92,160 bytes/s.
#include "protocol/Checksum.h"
#include "protocol/ItemCodec.h"
#include "protocol/ItemKind.h"
#include "protocol/OutputFrame.h"

#include <benchmark/benchmark.h>

#include <array>

namespace {

constexpr double LineBytesPerSecond = 92160.0;

QByteArray frameWith(const std::initializer_list<std::uint8_t> &ids)
{
    QByteArray payload;
    for (std::uint8_t id : ids) {
        const ItemKind &k = *ItemKind::find(id);
        if (id == ItemId::Utc) {
            UtcFields u;
            u.year = 2024;
            u.month = 1;
            u.day = 5;
            u.hour = 12;
            u.minute = 30;
            u.second = 45;
            u.millisecond = 123;
            ItemCodec::appendUtcItem(payload, u);
            continue;
        }
        const double values[4] = {1.234567, -2.345678, 3.456789, 0.5};
        const double state = 44;
        ItemCodec::appendItem(payload, k, id == ItemId::FusionState ? &state : values);
    }
    return OutputFrame::build(7, payload);
}

// Returns the number of decoded values (0 for an invalid frame).
int decodeFrame(const std::uint8_t *frame, int size, double *values)
{
    if (!OutputFrame::isValidAt(frame, size))
        return 0;
    const std::uint8_t *p = frame + 5;
    const std::uint8_t *end = p + frame[4];
    int count = 0;
    while (end - p >= 2) {
        const ItemKind *kind = ItemKind::find(p[0]);
        if (!kind || p[1] != kind->length || end - p < 2 + kind->length)
            break;
        count += ItemCodec::decode(*kind, p + 2, values + count);
        p += 2 + kind->length;
    }
    return count;
}

void run(benchmark::State &state, const QByteArray &frame)
{
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(frame.constData());
    std::array<double, 64> values{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(decodeFrame(bytes, frame.size(), values.data()));
        benchmark::ClobberMemory();
    }
    const auto frames = state.iterations();
    state.SetItemsProcessed(frames);
    state.SetBytesProcessed(frames * frame.size());
    state.counters["frame_bytes"] = frame.size();
    // Multiples of the 921600-baud line rate (shown with a "/s" suffix by the counter).
    state.counters["line_rate_multiple"] = benchmark::Counter(
        double(frames * frame.size()) / LineBytesPerSecond, benchmark::Counter::kIsRate);
}

void BM_DecodeEveryItemKind(benchmark::State &state)
{
    run(state, frameWith({0x01, 0x10, 0x20, 0x30, 0x31, 0x40, 0x41, 0x50, 0x51, 0x52, 0x60, 0x68,
                          0x70, 0x80}));
}

void BM_DecodeTemperatureEuler(benchmark::State &state)
{
    run(state, frameWith({0x01, 0x40}));
}

void BM_Checksum4k(benchmark::State &state)
{
    QByteArray data(4096, '\x5a');
    for (auto _ : state)
        benchmark::DoNotOptimize(Checksum::over(data.constData(), std::size_t(data.size())));
    state.SetBytesProcessed(state.iterations() * data.size());
}

} // namespace

BENCHMARK(BM_DecodeEveryItemKind);
BENCHMARK(BM_DecodeTemperatureEuler);
BENCHMARK(BM_Checksum4k);
BENCHMARK_MAIN();

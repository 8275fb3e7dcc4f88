// Rows per second of the record writer: the row formatted into the writer's buffer and
// written through it into a file (page cache; no fsync), as the GUI thread does it for every
// frame while recording. The unit sends at most 2000 frames/s: "headroom" is the measured
// rate divided by that, the aim being 100 or more.
#include "protocol/ItemKind.h"
#include "record/RecordLayout.h"
#include "record/RecordUtcConverter.h"
#include "record/RecordWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

constexpr double UnitRowsPerSecond = 2000.0;
// Files are ended and removed at this size, outside the timing.
constexpr quint64 RowsPerFile = 200000;

struct Row
{
    std::vector<std::uint8_t> ids;
    std::vector<double> values;
    QString utc;
};

Row everyKind()
{
    Row r;
    for (const ItemKind &k : ItemKind::all()) {
        r.ids.push_back(k.id);
        for (int c = 0; c < k.valueCount; ++c)
            r.values.push_back(k.id == ItemId::SamplingTimestamp ? 4294967295.0
                               : k.id == ItemId::FusionState     ? 44.0
                                                                 : -123.456789 * (c + 1));
    }
    r.utc = QStringLiteral("20240105090307005");
    return r;
}

Row shortRow()
{
    return {{ItemId::Temperature, ItemId::Acceleration, ItemId::AngularVelocity},
            {25.31, 0.012345, -0.004, 9.80665, 0.1234, -12.5, 359.999999},
            QString()};
}

void writeRows(benchmark::State &state, const Row &row)
{
    QTemporaryDir dir;
    RecordWriter writer;
    writer.begin(dir.path(), QStringLiteral("ARV_001"), true);
    RecordFrame frame;
    frame.itemIds = row.ids.data();
    frame.itemCount = int(row.ids.size());
    frame.values = row.values.data();
    frame.valueCount = int(row.values.size());
    // Every row has the same UTC text: at 2000 Hz the second, and with it the cached offset
    // from UTC, changes once in 2000 rows (BM_UtcNewSecondEveryRow prices a change).
    frame.utcDigits = row.utc;
    std::uint32_t tid = 0;
    quint64 rows = 0;
    for (auto _ : state) {
        frame.tid = tid++ & 0xFFFF;
        benchmark::DoNotOptimize(writer.writeFrame(frame));
        if (++rows == RowsPerFile) {
            rows = 0;
            state.PauseTiming();
            writer.end();
            QFile::remove(writer.filePath());
            writer.begin(dir.path(), QStringLiteral("ARV_001"), true);
            state.ResumeTiming();
        }
    }
    writer.end();
    if (rows > 0)
        state.counters["bytes/row"] = double(QFileInfo(writer.filePath()).size()) / double(rows);
    state.SetItemsProcessed(state.iterations());
    state.counters["headroom"] = benchmark::Counter(double(state.iterations()) / UnitRowsPerSecond,
                                                    benchmark::Counter::kIsRate);
}

void BM_WriteRowEveryKind(benchmark::State &state)
{
    writeRows(state, everyKind());
}

void BM_WriteRowShort(benchmark::State &state)
{
    writeRows(state, shortRow());
}

// Formatting alone, into memory: how the row cost splits between text and file.
void BM_FormatRowEveryKind(benchmark::State &state)
{
    const Row row = everyKind();
    const RecordLayout layout(row.ids.data(), int(row.ids.size()), true);
    RecordUtcConverter utc;
    std::vector<char> buffer(std::size_t(layout.maxRowBytes()));
    std::uint32_t tid = 0;
    for (auto _ : state) {
        char *end = layout.writeRow(buffer.data(), tid++, row.values.data(), row.utc, utc);
        benchmark::DoNotOptimize(end);
    }
    state.SetItemsProcessed(state.iterations());
}

// The UTC column alone, with a new second every row (the worst case of the offset cache).
void BM_UtcNewSecondEveryRow(benchmark::State &state)
{
    RecordUtcConverter utc;
    char out[RecordUtcConverter::MaxBytes];
    const QString a = QStringLiteral("20240105090307005");
    const QString b = QStringLiteral("20240105090308005");
    bool flip = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(utc.write((flip = !flip) ? a : b, out));
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_WriteRowEveryKind);
BENCHMARK(BM_WriteRowShort);
BENCHMARK(BM_FormatRowEveryKind);
BENCHMARK(BM_UtcNewSecondEveryRow);

int main(int argc, char **argv)
{
    // A fixed zone, so that figures compare across machines.
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

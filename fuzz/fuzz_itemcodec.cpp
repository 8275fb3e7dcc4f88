// The item decoder over every item kind: the input's first bytes as each kind's data bytes
// (an exact-size copy, so that a read past the item is caught), and the rest as values to
// encode. Checked: decode gives the kind's value count, finite values, and encode gives the
// raw fields back; the UTC and fusion-state fields keep to their formats; encoding any double
// (NaN, infinities, huge) saturates within the field instead of overflowing.

#include "FuzzSupport.h"

#include "protocol/ItemCodec.h"
#include "protocol/ItemKind.h"

#include <QDateTime>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

int fieldSize(FieldType t)
{
    switch (t) {
    case FieldType::Int16:
        return 2;
    case FieldType::Int32:
    case FieldType::UInt32:
        return 4;
    case FieldType::Int64:
        return 8;
    case FieldType::Utc:
        return 11;
    case FieldType::StateByte:
        return 1;
    }
    return 0;
}

std::int64_t readRaw(FieldType t, const std::uint8_t *p)
{
    std::uint64_t u = 0;
    const int size = fieldSize(t);
    for (int i = 0; i < size && i < 8; ++i)
        u |= std::uint64_t(p[i]) << (8 * i);
    switch (t) {
    case FieldType::Int16:
        return std::int16_t(u);
    case FieldType::Int32:
        return std::int32_t(u);
    case FieldType::UInt32:
        return std::int64_t(std::uint32_t(u));
    default:
        return std::int64_t(u);
    }
}

void checkKind(const ItemKind &kind, const std::uint8_t *bytes, std::size_t size)
{
    int total = 0;
    for (int i = 0; i < kind.valueCount; ++i)
        total += fieldSize(kind.fields[std::size_t(i)]);
    FUZZ_CHECK(total == kind.length, "kind 0x%02x: fields of %d bytes, length %d", kind.id, total,
               kind.length);
    if (size < kind.length)
        return;

    std::vector<std::uint8_t> item(bytes, bytes + kind.length);
    double v[4];
    const int count = ItemCodec::decode(kind, item.data(), v);
    FUZZ_CHECK(count == kind.valueCount, "kind 0x%02x: %d values", kind.id, count);

    std::vector<std::uint8_t> again(kind.length);
    ItemCodec::encode(kind, v, again.data());
    const std::uint8_t *field = item.data();
    const std::uint8_t *back = again.data();
    for (int i = 0; i < count; ++i) {
        const FieldType t = kind.fields[std::size_t(i)];
        FUZZ_CHECK(std::isfinite(v[i]), "kind 0x%02x value %d not finite", kind.id, i);
        const std::int64_t raw = readRaw(t, field);
        switch (t) {
        case FieldType::Int16:
        case FieldType::Int32:
        case FieldType::UInt32:
        case FieldType::Int64:
            // Exact back within the doubles' 53 bits.
            if (t != FieldType::Int64 || std::llabs(raw) < (std::int64_t(1) << 50))
                FUZZ_CHECK(readRaw(t, back) == raw, "kind 0x%02x value %d: raw %lld gives %lld",
                           kind.id, i, (long long)raw, (long long)readRaw(t, back));
            break;
        case FieldType::Utc: {
            const UtcFields utc = UtcFields::read(field);
            const QString digits = utc.digitText();
            FUZZ_CHECK(digits.size() >= 17 && digits.size() <= 30, "UTC digits %s",
                       qPrintable(digits));
            for (QChar c : digits)
                FUZZ_CHECK(c.isDigit(), "UTC digits %s", qPrintable(digits));
            FUZZ_CHECK(v[i] >= 0, "UTC number %f", v[i]);
            const QString local = utc.localText();
            // "yyyy-MM-dd HH:mm:ss.zzz", the year with five digits from 10000 on.
            FUZZ_CHECK(local.isEmpty() || local.size() == 23 || local.size() == 24, "UTC text %s",
                       qPrintable(local));
            break;
        }
        case FieldType::StateByte: {
            const FusionState fs{field[0]};
            FUZZ_CHECK(v[i] == fs.insState() * 10 + fs.gnssState(), "fusion number %f", v[i]);
            if (fs.gnssState() <= 9)
                FUZZ_CHECK(back[0] == field[0], "fusion byte 0x%02x gives 0x%02x", field[0],
                           back[0]);
            break;
        }
        }
        field += fieldSize(t);
        back += fieldSize(t);
    }
}

// Any doubles encoded: inside the field's range to the nearest step, outside it saturated at
// the nearer end, NaN as 0.
void checkEncode(const ItemKind &kind, const std::uint8_t *bytes, std::size_t size)
{
    double values[4] = {};
    for (int i = 0; i < kind.valueCount && size >= 8 * std::size_t(i + 1); ++i)
        std::memcpy(&values[i], bytes + 8 * i, 8);
    std::vector<std::uint8_t> item(kind.length);
    ItemCodec::encode(kind, values, item.data());
    double back[4];
    ItemCodec::decode(kind, item.data(), back);
    const std::uint8_t *field = item.data();
    for (int i = 0; i < kind.valueCount; ++i) {
        const FieldType t = kind.fields[std::size_t(i)];
        const double scale = kind.scales[std::size_t(i)];
        const double x = values[i];
        const std::int64_t raw = readRaw(t, field);
        field += fieldSize(t);
        double lo, hi;
        switch (t) {
        case FieldType::Int16:
            lo = -32768.0, hi = 32767.0;
            break;
        case FieldType::Int32:
            lo = -2147483648.0, hi = 2147483647.0;
            break;
        case FieldType::UInt32:
            lo = 0, hi = 4294967295.0;
            break;
        case FieldType::Int64:
            lo = -9.2e18, hi = 9.2e18;
            break;
        default:
            continue; // UTC and fusion state: see checkKind
        }
        const double steps = x / scale;
        if (std::isnan(x))
            FUZZ_CHECK(raw == 0, "kind 0x%02x: NaN encoded as %lld", kind.id, (long long)raw);
        else if (steps > hi + 1)
            FUZZ_CHECK(double(raw) >= hi, "kind 0x%02x: %.17g encoded as %lld", kind.id, x,
                       (long long)raw);
        else if (steps < lo - 1)
            FUZZ_CHECK(double(raw) <= lo, "kind 0x%02x: %.17g encoded as %lld", kind.id, x,
                       (long long)raw);
        else if (steps > lo + 1 && steps < hi - 1)
            FUZZ_CHECK(std::fabs(back[i] - x) <= scale * 0.5000001 + std::fabs(x) * 1e-12,
                       "kind 0x%02x: %.17g encoded and decoded as %.17g", kind.id, x, back[i]);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::silenceQtMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    for (const ItemKind &kind : ItemKind::all()) {
        checkKind(kind, data, size);
        checkEncode(kind, data, size);
        FUZZ_CHECK(ItemKind::find(kind.id) == &kind, "find(0x%02x)", kind.id);
    }
    return 0;
}

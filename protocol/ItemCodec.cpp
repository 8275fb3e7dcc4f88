#include "protocol/ItemCodec.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

std::uint16_t readU16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

std::uint64_t readU64(const std::uint8_t *p)
{
    return std::uint64_t(readU32(p)) | (std::uint64_t(readU32(p + 4)) << 32);
}

void writeLE(std::uint8_t *p, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// value / scale rounded to the nearest integer and saturated at T's range; NaN gives 0.
template <typename T> T toRaw(double value, double scale)
{
    const double x = std::round(value / scale);
    if (std::isnan(x))
        return 0;
    constexpr T lo = std::numeric_limits<T>::min();
    constexpr T hi = std::numeric_limits<T>::max();
    if (x <= static_cast<double>(lo))
        return lo;
    if (x >= static_cast<double>(hi)) // for 64 bits the double is 2^63, one past the range
        return hi;
    return static_cast<T>(x);
}

// v in decimal, at least `width` digits (zero padded); returns the end.
char16_t *writeNumber(char16_t *out, std::uint32_t v, int width)
{
    char16_t digits[10];
    int n = 0;
    do {
        digits[n++] = char16_t(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int i = n; i < width; ++i)
        *out++ = u'0';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

const char *const insNames[16] = {"未初始化", "位置初始化完成", "航向初始化完成",
                                  nullptr,    "组合融合状态",   "纯惯导推算"};
const char *const gnssNames[16] = {"无GNSS", "单点解", "差分解", nullptr, "固定解", "浮点解"};

} // namespace

// ---- UtcFields ----

UtcFields UtcFields::read(const std::uint8_t *data)
{
    UtcFields f;
    f.millisecond = readU32(data);
    f.year = readU16(data + 4);
    f.month = data[6];
    f.day = data[7];
    f.hour = data[8];
    f.minute = data[9];
    f.second = data[10];
    return f;
}

void UtcFields::write(std::uint8_t *data) const
{
    writeLE(data, millisecond, 4);
    writeLE(data + 4, year, 2);
    data[6] = month;
    data[7] = day;
    data[8] = hour;
    data[9] = minute;
    data[10] = second;
}

QString UtcFields::digitText() const
{
    char16_t digits[MaxDigits];
    const int n = writeDigits(digits);
    return QString(reinterpret_cast<const QChar *>(digits), n);
}

int UtcFields::writeDigits(char16_t *out) const
{
    char16_t *p = writeNumber(out, year, 4);
    for (std::uint8_t field : {month, day, hour, minute, second})
        p = writeNumber(p, field, 2);
    p = writeNumber(p, millisecond, 3);
    return int(p - out);
}

double UtcFields::number() const
{
    // Every field within its digit count: the digits are a plain positional sum.
    if (year <= 9999 && month <= 99 && day <= 99 && hour <= 99 && minute <= 99 && second <= 99 &&
        millisecond <= 999) {
        const std::uint64_t n = year * 10000000000000ull + month * 100000000000ull +
                                day * 1000000000ull + hour * 10000000ull + minute * 100000ull +
                                second * 1000ull + millisecond;
        return static_cast<double>(n);
    }
    // Wider fields lengthen the digit text (up to 30 digits, beyond 64 bits): read the
    // whole text, rounded to the nearest double.
    char digits[48];
    std::snprintf(digits, sizeof digits, "%04u%02u%02u%02u%02u%02u%03u", unsigned(year),
                  unsigned(month), unsigned(day), unsigned(hour), unsigned(minute),
                  unsigned(second), unsigned(millisecond));
    return std::strtod(digits, nullptr);
}

QString UtcFields::localText() const
{
    if (millisecond > 999)
        return QString();
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, int(millisecond));
    if (!date.isValid() || !time.isValid())
        return QString();
    return QDateTime(date, time, Qt::UTC)
        .toLocalTime()
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

// ---- FusionState ----

const char *FusionState::insName() const
{
    return insNames[insState()];
}

const char *FusionState::gnssName() const
{
    return gnssNames[gnssState()];
}

// ---- ItemCodec ----

namespace ItemCodec {

int decode(const ItemKind &kind, const std::uint8_t *data, double *out)
{
    const std::uint8_t *p = data;
    for (int i = 0; i < kind.valueCount; ++i) {
        const double scale = kind.scales[std::size_t(i)];
        switch (kind.fields[std::size_t(i)]) {
        case FieldType::Int16:
            out[i] = static_cast<double>(static_cast<std::int16_t>(readU16(p))) * scale;
            p += 2;
            break;
        case FieldType::Int32:
            out[i] = static_cast<double>(static_cast<std::int32_t>(readU32(p))) * scale;
            p += 4;
            break;
        case FieldType::UInt32:
            out[i] = static_cast<double>(readU32(p)) * scale;
            p += 4;
            break;
        case FieldType::Int64:
            out[i] = static_cast<double>(static_cast<std::int64_t>(readU64(p))) * scale;
            p += 8;
            break;
        case FieldType::Utc:
            out[i] = UtcFields::read(p).number();
            p += 11;
            break;
        case FieldType::StateByte:
            out[i] = FusionState{p[0]}.number();
            p += 1;
            break;
        }
    }
    return kind.valueCount;
}

void encode(const ItemKind &kind, const double *values, std::uint8_t *data)
{
    std::uint8_t *p = data;
    for (int i = 0; i < kind.valueCount; ++i) {
        const double scale = kind.scales[std::size_t(i)];
        switch (kind.fields[std::size_t(i)]) {
        case FieldType::Int16:
            writeLE(p, std::uint16_t(toRaw<std::int16_t>(values[i], scale)), 2);
            p += 2;
            break;
        case FieldType::Int32:
            writeLE(p, std::uint32_t(toRaw<std::int32_t>(values[i], scale)), 4);
            p += 4;
            break;
        case FieldType::UInt32:
            writeLE(p, toRaw<std::uint32_t>(values[i], scale), 4);
            p += 4;
            break;
        case FieldType::Int64:
            writeLE(p, std::uint64_t(toRaw<std::int64_t>(values[i], scale)), 8);
            p += 8;
            break;
        case FieldType::Utc:
            std::fill(p, p + 11, std::uint8_t(0)); // the number cannot be split back exactly
            p += 11;
            break;
        case FieldType::StateByte: {
            // INS × 10 + GNSS back to the two nibbles (exact for GNSS states 0 to 9).
            const int n = toRaw<std::uint8_t>(values[i], 1.0);
            const int ins = std::min(n / 10, 15);
            const int gnss = std::min(n - ins * 10, 15);
            p[0] = static_cast<std::uint8_t>((gnss << 4) | ins);
            p += 1;
            break;
        }
        }
    }
}

void appendItem(QByteArray &payload, const ItemKind &kind, const double *values)
{
    const int at = payload.size();
    payload.resize(at + 2 + kind.length);
    auto *p = reinterpret_cast<std::uint8_t *>(payload.data()) + at;
    p[0] = kind.id;
    p[1] = kind.length;
    encode(kind, values, p + 2);
}

void appendUtcItem(QByteArray &payload, const UtcFields &utc)
{
    const int at = payload.size();
    payload.resize(at + 13);
    auto *p = reinterpret_cast<std::uint8_t *>(payload.data()) + at;
    p[0] = ItemId::Utc;
    p[1] = 11;
    utc.write(p + 2);
}

} // namespace ItemCodec

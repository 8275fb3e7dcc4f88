#include "record/RecordColumnFormat.h"

#include <charconv>
#include <cstring>

namespace {

using K = RecordColumnFormat::Kind;

struct NamedFormat
{
    const char *name; // UTF-8
    RecordColumnFormat format;
};

// The one list of column names with a format other than the general one.
const NamedFormat namedFormats[] = {
    {"TID", {K::Whole, 0, 5}},
    {"温度(°C)", {K::Fixed, 2, 5}},
    {"Temperature(°C)", {K::Fixed, 2, 5}},
    {"UTC", {K::Utc, 0, 0}},
    {"纬度", {K::Fixed, 7, 10}},
    {"Latitude", {K::Fixed, 7, 10}},
    {"经度", {K::Fixed, 7, 10}},
    {"Longitude", {K::Fixed, 7, 10}},
    {"海拔", {K::Fixed, 3, 10}},
    {"Altitude", {K::Fixed, 3, 10}},
    {"纬度 ", {K::Fixed, 10, 10}},
    {"Latitude ", {K::Fixed, 10, 10}},
    {"经度 ", {K::Fixed, 10, 10}},
    {"Longitude ", {K::Fixed, 10, 10}},
    {"海拔 ", {K::Fixed, 3, 10}},
    {"Altitude ", {K::Fixed, 3, 10}},
    {"采样时间戳 ", {K::Whole, 0, 10}},
    {"Sampling timestamp ", {K::Whole, 0, 10}},
    // Counters and state numbers: whole, so that a count above 999,999 stays exact.
    {"同步时间戳 ", {K::Whole, 0, 10}},
    {"Synchronization timestamp ", {K::Whole, 0, 10}},
    {"组合状态 ", {K::Whole, 0, 10}},
    {"Combined state ", {K::Whole, 0, 10}},
};

constexpr RecordColumnFormat generalFormat{K::Fixed, 6, 10};

} // namespace

RecordColumnFormat RecordColumnFormat::forName(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    for (const NamedFormat &f : namedFormats) {
        if (utf8 == f.name)
            return f.format;
    }
    return generalFormat;
}

char *RecordColumnFormat::write(double value, char *out) const
{
    if (m_kind == Kind::Utc)
        return out;
    const int decimals = m_kind == Kind::Whole ? 0 : m_decimals;
    const std::to_chars_result r =
        std::to_chars(out, out + MaxFieldBytes, value, std::chars_format::fixed, decimals);
    const int length = int(r.ptr - out);
    const int pad = m_minWidth - length;
    if (pad <= 0)
        return r.ptr;
    std::memmove(out + pad, out, std::size_t(length));
    std::memset(out, ' ', std::size_t(pad));
    return out + m_minWidth;
}

QString RecordColumnFormat::text(double value) const
{
    char buffer[MaxFieldBytes];
    return QString::fromLatin1(buffer, int(write(value, buffer) - buffer));
}

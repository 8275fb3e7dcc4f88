#include "record/RecordLayout.h"

#include "protocol/ItemKind.h"
#include "record/RecordUtcConverter.h"

#include <charconv>
#include <cstring>

namespace {
constexpr int HeaderWidth = 5;
constexpr char Separator[] = {',', ' '};
} // namespace

RecordLayout::RecordLayout(const std::uint8_t *itemIds, int itemCount, bool chinese)
    : m_ids(reinterpret_cast<const char *>(itemIds), std::size_t(itemCount))
{
    m_names.append(QStringLiteral("TID"));
    for (int i = 0; i < itemCount; ++i) {
        if (const ItemKind *kind = ItemKind::find(itemIds[i])) {
            for (int c = 0; c < kind->valueCount; ++c)
                m_names.append(kind->column(c, chinese));
        }
    }
    QString header;
    for (const QString &name : m_names) {
        m_formats.push_back(RecordColumnFormat::forName(name));
        header += name.rightJustified(HeaderWidth, QLatin1Char(' '));
        header += QLatin1String(", ");
    }
    header += QLatin1Char('\n');
    m_header = header.toUtf8();
    m_maxRowBytes = 1;
    for (const RecordColumnFormat &f : m_formats) {
        m_maxRowBytes += int(sizeof Separator);
        m_maxRowBytes += f.kind() == RecordColumnFormat::Kind::Utc
                             ? RecordUtcConverter::MaxBytes
                             : RecordColumnFormat::MaxFieldBytes;
    }
}

char *RecordLayout::writeRow(char *out, std::uint32_t tid, const double *values,
                             QStringView utcDigits, RecordUtcConverter &utc) const
{
    // TID: a whole number padded to its column's width.
    char digits[16];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, tid);
    const int length = int(r.ptr - digits);
    for (int pad = m_formats.front().minWidth() - length; pad > 0; --pad)
        *out++ = ' ';
    std::memcpy(out, digits, std::size_t(length));
    out += length;
    *out++ = ',';
    *out++ = ' ';

    // The UTC text is converted once per row, even for a frame with several UTC items.
    char utcText[RecordUtcConverter::MaxBytes];
    int utcLength = -1;
    const RecordColumnFormat *format = m_formats.data() + 1;
    const RecordColumnFormat *end = m_formats.data() + m_formats.size();
    for (; format != end; ++format, ++values) {
        if (format->kind() == RecordColumnFormat::Kind::Utc) {
            if (utcLength < 0)
                utcLength = utcDigits.isEmpty() ? 0 : utc.write(utcDigits, utcText);
            std::memcpy(out, utcText, std::size_t(utcLength));
            out += utcLength;
        } else {
            out = format->write(*values, out);
        }
        *out++ = ',';
        *out++ = ' ';
    }
    *out++ = '\n';
    return out;
}

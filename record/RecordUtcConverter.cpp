#include "record/RecordUtcConverter.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cstring>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return std::int64_t(era) * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, int &y, int &m, int &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = int(z - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = int(yoe + era * 400) + (m <= 2);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

inline char *put2(char *p, int v)
{
    p[0] = char('0' + v / 10);
    p[1] = char('0' + v % 10);
    return p + 2;
}

const QString localFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

} // namespace

int RecordUtcConverter::write(QStringView digits, char *out)
{
    if (digits.size() != 17)
        return 0;
    int n[17];
    for (int i = 0; i < 17; ++i) {
        const char16_t c = digits[i].unicode();
        if (c < u'0' || c > u'9')
            return 0;
        n[i] = c - u'0';
    }
    const int year = n[0] * 1000 + n[1] * 100 + n[2] * 10 + n[3];
    const int month = n[4] * 10 + n[5];
    const int day = n[6] * 10 + n[7];
    const int hour = n[8] * 10 + n[9];
    const int minute = n[10] * 10 + n[11];
    const int second = n[12] * 10 + n[13];
    const int ms = n[14] * 100 + n[15] * 10 + n[16];
    if (!QDate::isValid(year, month, day) || hour > 23 || minute > 59 || second > 59)
        return 0;

    if (year < 1000 || year > 9998) {
        const QDateTime utc(QDate(year, month, day), QTime(hour, minute, second, ms), Qt::UTC);
        const QByteArray text = utc.toLocalTime().toString(localFormat).toLatin1();
        const int size = qMin(int(text.size()), MaxBytes);
        std::memcpy(out, text.constData(), std::size_t(size));
        return size;
    }

    const std::int64_t utcMs =
        ((daysFromCivil(year, month, day) * 24 + hour) * 60 + minute) * 60000 + second * 1000 + ms;
    const std::int64_t utcSecond = floorDiv(utcMs, 1000);
    if (utcSecond != m_second) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(utcSecond * 1000, Qt::UTC);
        m_offsetMs = std::int64_t(at.toLocalTime().offsetFromUtc()) * 1000;
        m_second = utcSecond;
    }
    const std::int64_t localMs = utcMs + m_offsetMs;
    const std::int64_t days = floorDiv(localMs, 86400000);
    int msOfDay = int(localMs - days * 86400000);
    int y, m, d;
    civilFromDays(days, y, m, d);

    char *p = out;
    p = put2(p, y / 100);
    p = put2(p, y % 100);
    *p++ = '-';
    p = put2(p, m);
    *p++ = '-';
    p = put2(p, d);
    *p++ = ' ';
    p = put2(p, msOfDay / 3600000);
    msOfDay %= 3600000;
    *p++ = ':';
    p = put2(p, msOfDay / 60000);
    msOfDay %= 60000;
    *p++ = ':';
    p = put2(p, msOfDay / 1000);
    msOfDay %= 1000;
    *p++ = '.';
    *p++ = char('0' + msOfDay / 100);
    p = put2(p, msOfDay % 100);
    return int(p - out);
}

QString RecordUtcConverter::toLocalText(QStringView digits)
{
    char buffer[MaxBytes];
    return QString::fromLatin1(buffer, write(digits, buffer));
}

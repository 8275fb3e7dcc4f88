#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

// Turns the UTC digit text of a frame (17 digits "yyyyMMddHHmmsszzz", read as UTC) into the
// computer's local time as "yyyy-MM-dd HH:mm:ss.zzz", the text of a record file's UTC column.
// A text of another length, with a non-digit, or that is no valid date and time (month 13,
// 30 February, year 0000, hour 24, second 60) gives nothing: an empty field.
//
// The offset of local time from UTC is asked of QDateTime once per UTC second and cached
// (zone changes fall on whole seconds), so the rows of one second cost a few dozen
// nanoseconds each; years outside 1000-9998 go through QDateTime as a whole. The result
// equals QDateTime's conversion of the same instant. Not thread-safe (the cache); one
// converter per writer.
class RecordUtcConverter
{
public:
    // Longest text write() produces (a five-digit local year through QDateTime).
    static constexpr int MaxBytes = 32;

    // Writes the local time text at out (room for MaxBytes); returns the number of bytes
    // written, 0 when the digits are unreadable.
    int write(QStringView digits, char *out);
    QString toLocalText(QStringView digits);

    // Forget the cached offset (after a change of the system's time zone).
    void reset() { m_second = NoSecond; }

private:
    static constexpr std::int64_t NoSecond = INT64_MIN;
    std::int64_t m_second = NoSecond; // UTC second of the cached offset
    std::int64_t m_offsetMs = 0;
};

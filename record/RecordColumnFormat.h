#pragma once

#include <QString>

#include <cstdint>

// How one column of a record file turns a value into text. The format follows the column's
// name (either language; the trailing blank of some names is part of the name and selects
// the high-precision or counter formats).
//
//   "TID"                                         whole number, width 5
//   "温度(°C)" / "Temperature(°C)"                fixed, 2 decimals, width 5
//   "UTC"                                         the row's UTC text in local time, no width
//   "纬度" "经度" / "Latitude" "Longitude"        fixed, 7 decimals, width 10
//   "纬度 " "经度 " / "Latitude " "Longitude "    fixed, 10 decimals, width 10
//   "海拔" "海拔 " / "Altitude" "Altitude "       fixed, 3 decimals, width 10
//   sampling and synchronisation timestamps,
//   fusion state (names ending in a blank)        whole number, width 10
//   any other name                                fixed, 6 decimals, width 10
//
// Texts are right-aligned, padded on the left with blanks to the width; longer texts are
// written whole. Numbers use a point and no grouping, correctly rounded from the double.
// Plain value type; no allocation.
class RecordColumnFormat
{
public:
    enum class Kind : std::uint8_t
    {
        Whole, // rounded to a whole number, any magnitude, never wrapped to a negative
        Fixed, // fixed point with decimals() digits after the point
        Utc,   // the row's UTC text; the value itself is not written
    };

    // The most bytes write() produces for any double (fixed notation of 1.8e308 with
    // 10 decimals, a sign and the point).
    static constexpr int MaxFieldBytes = 340;

    constexpr RecordColumnFormat() = default;
    constexpr RecordColumnFormat(Kind kind, int decimals, int minWidth)
        : m_kind(kind), m_decimals(std::uint8_t(decimals)), m_minWidth(std::uint8_t(minWidth))
    {
    }

    static RecordColumnFormat forName(const QString &name);

    Kind kind() const { return m_kind; }
    int decimals() const { return m_decimals; }
    int minWidth() const { return m_minWidth; }

    // Writes the value's text, right-aligned to minWidth(), at out (room for MaxFieldBytes)
    // and returns the end. Not for Kind::Utc (writes nothing there).
    char *write(double value, char *out) const;
    // The same as a string (tests, diagnostics).
    QString text(double value) const;

    bool operator==(const RecordColumnFormat &o) const
    {
        return m_kind == o.m_kind && m_decimals == o.m_decimals && m_minWidth == o.m_minWidth;
    }

private:
    Kind m_kind = Kind::Fixed;
    std::uint8_t m_decimals = 6;
    std::uint8_t m_minWidth = 10;
};

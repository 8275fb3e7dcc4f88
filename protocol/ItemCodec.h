#pragma once

#include "protocol/ItemKind.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

// The fields of a UTC item (ID 0x50).
struct UtcFields
{
    std::uint32_t millisecond = 0;
    std::uint16_t year = 0;
    std::uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;

    static UtcFields read(const std::uint8_t *data); // 11 data bytes
    void write(std::uint8_t *data) const;
    // "yyyyMMddHHmmss" + milliseconds "%03d": the digits the recorder stores.
    QString digitText() const;
    // The same digits into out (room for MaxDigits), without allocating; returns their count.
    // 17 for fields within their digits; wider fields lengthen the text.
    static constexpr int MaxDigits = 30;
    int writeDigits(char16_t *out) const;
    // The digit text read as a 64-bit integer, converted to double. Fields wider than
    // their digits lengthen the text; it is then read whole, to the nearest double.
    double number() const;
    // The fields read as UTC, shown in local time as "yyyy-MM-dd HH:mm:ss.zzz"
    // (empty when the fields are no valid date-time, milliseconds above 999 included).
    QString localText() const;
};

// The fusion state byte (ID 0x80): low nibble INS state, high nibble GNSS solution.
struct FusionState
{
    std::uint8_t byte = 0;

    int insState() const { return byte & 0x0F; }
    int gnssState() const { return byte >> 4; }
    double number() const { return insState() * 10 + gnssState(); }
    // The Chinese names of the states; nullptr where a nibble has no name.
    const char *insName() const;
    const char *gnssName() const;
    bool named() const { return insName() && gnssName(); }
};

// Decoding and encoding of one data item's data bytes. No allocation.
namespace ItemCodec {

// Decodes the kind.length data bytes at data into kind.valueCount values at out,
// in the order of the item table. Returns kind.valueCount.
int decode(const ItemKind &kind, const std::uint8_t *data, double *out);

// Encodes values (kind.valueCount of them, scaled units) into kind.length data bytes:
// the inverse of decode, rounding to the nearest raw step and saturating at the field's
// range (NaN gives 0). For the UTC item values[0] is not used and the 11 bytes are zeroed;
// use UtcFields::write. The fusion state number n gives INS n / 10 and GNSS n % 10 (exact
// for GNSS states 0 to 9).
void encode(const ItemKind &kind, const double *values, std::uint8_t *data);

// Appends ID, length and the encoded data of one item to a payload.
void appendItem(QByteArray &payload, const ItemKind &kind, const double *values);
void appendUtcItem(QByteArray &payload, const UtcFields &utc);

} // namespace ItemCodec

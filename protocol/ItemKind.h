#pragma once

#include <QString>

#include <array>
#include <cstdint>

// Which content flag an item sets when the parser decodes it.
enum class ContentFlag : std::uint8_t
{
    Temperature,
    Acceleration,
    SamplingTimestamp,
    SyncTimestamp, // also set by the fusion state item
    AngularVelocity,
    Magnetic, // 0x30 or 0x31
    Euler,
    Quaternion,
    Utc,
    Location, // 0x60 or 0x68
    Velocity,
};

// How one decoded value is stored in an item's data bytes (little-endian, two's complement).
enum class FieldType : std::uint8_t
{
    Int16,
    Int32,
    UInt32,
    Int64,
    Utc,       // the 11-byte UTC record (see UtcFields)
    StateByte, // the fusion state byte (see FusionState)
};

// One kind of data item of an output frame: the one table that decoding, encoding,
// the parser's names and the recorder's columns all read.
struct ItemKind
{
    std::uint8_t id;
    std::uint8_t length;     // data bytes after the ID and length bytes
    std::uint8_t valueCount; // decoded values
    ContentFlag flag;
    const char *groupEnglish;
    const char *groupChinese;
    std::array<const char *, 4> columnsEnglish; // valueCount entries used
    std::array<const char *, 4> columnsChinese;
    // Storage and scale of each value: decoded value = double(raw) * scale.
    std::array<FieldType, 4> fields;
    std::array<double, 4> scales;

    // Names in the language given (true = Chinese).
    QString group(bool chinese) const;
    QString column(int index, bool chinese) const;

    // Every item kind, in the order of the item table (0x01, 0x10, 0x20, 0x30, 0x31, 0x40,
    // 0x41, 0x50, 0x51, 0x52, 0x60, 0x68, 0x70, 0x80).
    static const std::array<ItemKind, 14> &all();
    // The kind with this ID, or nullptr for an unknown ID. Constant time.
    static const ItemKind *find(std::uint8_t id);
};

namespace ItemId {
constexpr std::uint8_t Temperature = 0x01;
constexpr std::uint8_t Acceleration = 0x10;
constexpr std::uint8_t AngularVelocity = 0x20;
constexpr std::uint8_t MagneticNormalised = 0x30;
constexpr std::uint8_t MagneticStrength = 0x31;
constexpr std::uint8_t Euler = 0x40;
constexpr std::uint8_t Quaternion = 0x41;
constexpr std::uint8_t Utc = 0x50;
constexpr std::uint8_t SamplingTimestamp = 0x51;
constexpr std::uint8_t SyncTimestamp = 0x52;
constexpr std::uint8_t Location = 0x60;
constexpr std::uint8_t PreciseLocation = 0x68;
constexpr std::uint8_t Velocity = 0x70;
constexpr std::uint8_t FusionState = 0x80;
} // namespace ItemId

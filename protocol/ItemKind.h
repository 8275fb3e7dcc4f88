#pragma once

#include <QString>

#include <array>
#include <cstdint>

// Which kinds of content the unit has sent: the flag each item kind sets when the parser
// decodes it, and one that any valid frame sets.
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
    AnyFrame, // set by every valid frame, whatever its items
};

// The decoded quantities the parser keeps in series, one series each. The item table says
// which value of which item goes where.
enum class Quantity : std::uint8_t
{
    AccX,
    AccY,
    AccZ,
    GyroX,
    GyroY,
    GyroZ,
    MagX, // normalised magnetic field (0x30)
    MagY,
    MagZ,
    MagStrengthX, // magnetic field strength (0x31)
    MagStrengthY,
    MagStrengthZ,
    Roll,
    Pitch,
    Yaw,
    Q0,
    Q1,
    Q2,
    Q3,
    Latitude,
    Longitude,
    Altitude,
    VelocityNorth,  // velocity field 1
    VelocityEast,   // velocity field 2
    VelocityGround, // velocity field 3
    Count,
    None = 0xFF
};
constexpr std::size_t QuantityCount = std::size_t(Quantity::Count);

// Which series of the parser an item's values go to, besides the sample vector and the frame
// value list (bits).
namespace SeriesUse {
constexpr std::uint8_t None = 0;
constexpr std::uint8_t History = 1;      // the history: values of many passes, trimmed
constexpr std::uint8_t PerPass = 2;      // the per-pass series (the collectors read them)
constexpr std::uint8_t OnlyThisPass = 4; // the history keeps only the current pass's values
} // namespace SeriesUse

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

// One kind of data item of an output frame: the one table that decoding, encoding, the
// parser's routing into series and flags, the parser's names and the recorder's columns all
// read. Adding an item kind is one row in ItemKind.cpp and Count one higher (plus a Quantity
// for each new series, its field types in ItemCodec if they are new, and a case in the
// parser only if the item does more than fill series, as the UTC item does).
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
    // Where the values go: SeriesUse bits, and the quantity of each value (Quantity::None:
    // kept in no series).
    std::uint8_t series;
    std::array<Quantity, 4> quantities;

    // Names in the language given (true = Chinese).
    QString group(bool chinese) const;
    QString column(int index, bool chinese) const;

    // Every item kind, in the order of the item table (0x01, 0x10, 0x20, 0x30, 0x31, 0x40,
    // 0x41, 0x50, 0x51, 0x52, 0x60, 0x68, 0x70, 0x80).
    static constexpr std::size_t Count = 14;
    static const std::array<ItemKind, Count> &all();
    // The kind with this ID, or nullptr for an unknown ID. Constant time (one table look-up,
    // inline: the parser asks twice per item).
    static const ItemKind *find(std::uint8_t id);
};

namespace ItemKindTable {
extern const std::array<ItemKind, ItemKind::Count> kinds; // the item table
extern const std::array<std::uint8_t, 256> idSlots;       // ID -> index + 1 (0: unknown)
} // namespace ItemKindTable

inline const ItemKind *ItemKind::find(std::uint8_t id)
{
    const std::uint8_t slot = ItemKindTable::idSlots[id];
    return slot ? &ItemKindTable::kinds[slot - 1u] : nullptr;
}

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

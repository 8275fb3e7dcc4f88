#include "protocol/ItemKind.h"

namespace {

using F = FieldType;
using Q = Quantity;
namespace S = SeriesUse;

constexpr double E2 = 0.01;
constexpr double E3 = 0.001;
constexpr double E6 = 0.000001;
constexpr double E7 = 0.0000001;
constexpr double E10 = 0.0000000001;

} // namespace

// The item table. Names are UTF-8; several record column names end in a blank that belongs
// to the name (the recorder picks its number format by it). Euler angles stand pitch, roll,
// yaw on the wire; the quaternion history holds only the current pass (the 3D view wants the
// newest value); the per-pass series feed the calibration and gyro-bias collectors.
constexpr std::array<ItemKind, ItemKind::Count> ItemKindTable::kinds = {{
    {0x01,
     2,
     1,
     ContentFlag::Temperature,
     "Temperature",
     "温度",
     {"Temperature(°C)", nullptr, nullptr, nullptr},
     {"温度(°C)", nullptr, nullptr, nullptr},
     {F::Int16, F::Int16, F::Int16, F::Int16},
     {E2, 0, 0, 0},
     S::None,
     {Q::None, Q::None, Q::None, Q::None}},
    {0x10,
     12,
     3,
     ContentFlag::Acceleration,
     "Acceleration",
     "加速度",
     {"X Acceleration", "Y Acceleration", "Z Acceleration", nullptr},
     {"X轴加速度", "Y轴加速度", "Z轴加速度", nullptr},
     {F::Int32, F::Int32, F::Int32, F::Int32},
     {E6, E6, E6, 0},
     S::History,
     {Q::AccX, Q::AccY, Q::AccZ, Q::None}},
    {0x20,
     12,
     3,
     ContentFlag::AngularVelocity,
     "Angular Velocity",
     "角速度",
     {"X Angular Velocity", "Y Angular Velocity", "Z Angular Velocity", nullptr},
     {"X轴角速度", "Y轴角速度", "Z轴角速度", nullptr},
     {F::Int32, F::Int32, F::Int32, F::Int32},
     {E6, E6, E6, 0},
     S::History | S::PerPass,
     {Q::GyroX, Q::GyroY, Q::GyroZ, Q::None}},
    {0x30,
     12,
     3,
     ContentFlag::Magnetic,
     "Magnetic Field",
     "磁场归一化值",
     {"X Magnetic Field", "Y Magnetic Field", "Z Magnetic Field", nullptr},
     {"X轴磁场归一化值", "Y轴磁场归一化值", "Z轴磁场归一化值", nullptr},
     {F::Int32, F::Int32, F::Int32, F::Int32},
     {E6, E6, E6, 0},
     S::History,
     {Q::MagX, Q::MagY, Q::MagZ, Q::None}},
    {0x31,
     12,
     3,
     ContentFlag::Magnetic,
     "Magnetic Strength",
     "磁场强度值",
     {"X Magnetic Strength", "Y Magnetic Strength", "Z Magnetic Strength", nullptr},
     {"X轴磁场强度值", "Y轴磁场强度值", "Z轴磁场强度值", nullptr},
     {F::Int32, F::Int32, F::Int32, F::Int32},
     {E3, E3, E3, 0},
     S::PerPass,
     {Q::MagStrengthX, Q::MagStrengthY, Q::MagStrengthZ, Q::None}},
    {0x40,
     12,
     3,
     ContentFlag::Euler,
     "Euler angles",
     "欧拉角",
     {"Pitch", "Roll", "Yaw", nullptr},
     {"俯仰角", "横滚角", "航向角", nullptr},
     {F::Int32, F::Int32, F::Int32, F::Int32},
     {E6, E6, E6, 0},
     S::History | S::PerPass,
     {Q::Pitch, Q::Roll, Q::Yaw, Q::None}},
    {0x41,
     16,
     4,
     ContentFlag::Quaternion,
     "Quaternion",
     "四元数",
     {"Q0", "Q1", "Q2", "Q3"},
     {"四元数q0", "四元数q1", "四元数q2", "四元数q3"},
     {F::Int32, F::Int32, F::Int32, F::Int32},
     {E6, E6, E6, E6},
     S::History | S::OnlyThisPass,
     {Q::Q0, Q::Q1, Q::Q2, Q::Q3}},
    {0x50,
     11,
     1,
     ContentFlag::Utc,
     "UTC",
     "UTC",
     {"UTC", nullptr, nullptr, nullptr},
     {"UTC", nullptr, nullptr, nullptr},
     {F::Utc, F::Utc, F::Utc, F::Utc},
     {1, 0, 0, 0},
     S::None,
     {Q::None, Q::None, Q::None, Q::None}},
    {0x51,
     4,
     1,
     ContentFlag::SamplingTimestamp,
     "Sampling timestamp",
     "采样时间戳",
     {"Sampling timestamp ", nullptr, nullptr, nullptr},
     {"采样时间戳 ", nullptr, nullptr, nullptr},
     {F::UInt32, F::UInt32, F::UInt32, F::UInt32},
     {1, 0, 0, 0},
     S::None,
     {Q::None, Q::None, Q::None, Q::None}},
    {0x52,
     4,
     1,
     ContentFlag::SyncTimestamp,
     "Synchronization timestamp",
     "同步时间戳",
     {"Synchronization timestamp ", nullptr, nullptr, nullptr},
     {"同步时间戳 ", nullptr, nullptr, nullptr},
     {F::UInt32, F::UInt32, F::UInt32, F::UInt32},
     {1, 0, 0, 0},
     S::None,
     {Q::None, Q::None, Q::None, Q::None}},
    {0x60,
     12,
     3,
     ContentFlag::Location,
     "Location",
     "位置",
     {"Latitude", "Longitude", "Altitude", nullptr},
     {"纬度", "经度", "海拔", nullptr},
     {F::Int32, F::Int32, F::Int32, F::Int32},
     {E7, E7, E3, 0},
     S::History,
     {Q::Latitude, Q::Longitude, Q::Altitude, Q::None}},
    {0x68,
     20,
     3,
     ContentFlag::Location,
     "Position",
     "位置",
     {"Latitude ", "Longitude ", "Altitude ", nullptr},
     {"纬度 ", "经度 ", "海拔 ", nullptr},
     {F::Int64, F::Int64, F::Int32, F::Int32},
     {E10, E10, E3, 0},
     S::History,
     {Q::Latitude, Q::Longitude, Q::Altitude, Q::None}},
    {0x70,
     12,
     3,
     ContentFlag::Velocity,
     "Velocity",
     "速度",
     {"Northward velocity", "Eastward velocity", "Ground velocity", nullptr},
     {"北向速度", "东向速度", "地向速度", nullptr},
     {F::Int32, F::Int32, F::Int32, F::Int32},
     {E3, E3, E3, 0},
     S::History,
     {Q::VelocityNorth, Q::VelocityEast, Q::VelocityGround, Q::None}},
    {0x80,
     1,
     1,
     ContentFlag::SyncTimestamp,
     "Combined state",
     "组合状态",
     {"Combined state ", nullptr, nullptr, nullptr},
     {"组合状态 ", nullptr, nullptr, nullptr},
     {F::StateByte, F::StateByte, F::StateByte, F::StateByte},
     {1, 0, 0, 0},
     S::None,
     {Q::None, Q::None, Q::None, Q::None}},
}};

namespace {

// ID → index + 1 into the table (0: unknown ID), built by the compiler.
constexpr std::array<std::uint8_t, 256> makeSlots()
{
    std::array<std::uint8_t, 256> slots{};
    for (std::size_t i = 0; i < ItemKindTable::kinds.size(); ++i)
        slots[ItemKindTable::kinds[i].id] = static_cast<std::uint8_t>(i + 1);
    return slots;
}

} // namespace

QString ItemKind::group(bool chinese) const
{
    return QString::fromUtf8(chinese ? groupChinese : groupEnglish);
}

QString ItemKind::column(int index, bool chinese) const
{
    if (index < 0 || index >= valueCount)
        return QString();
    return QString::fromUtf8(chinese ? columnsChinese[std::size_t(index)]
                                     : columnsEnglish[std::size_t(index)]);
}

constexpr std::array<std::uint8_t, 256> ItemKindTable::idSlots = makeSlots();

const std::array<ItemKind, ItemKind::Count> &ItemKind::all()
{
    return ItemKindTable::kinds;
}

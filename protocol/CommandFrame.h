#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// Command frames: 51 56, class, length word (bits 0-2 operation code, bits 3-15 data
// length), data, CK1, CK2 over class, length word and data (CommandLayout.h, with the class,
// operation and sub-codes). The unit answers in the same layout (see Answer.h).
namespace CommandFrame {

// Builders that can refuse return an empty array then; the caller must send nothing, so their
// result may not be ignored.

// The layout (CommandLayout.h). Data longer than 8191 bytes gives an empty result.
[[nodiscard]] QByteArray build(std::uint8_t cls, std::uint8_t op, const QByteArray &data);

// Identification queries.
QByteArray queryProductId(); // 51 56 00 08 00 01 09 19
QByteArray queryVersion();   // 51 56 00 08 00 02 0A 1A
QByteArray queryFrequency(); // 51 56 03 00 00 03 09
QByteArray queryAlgorithm(); // 51 56 4D 08 00 02 57 4E

// Settings. Rates and codes go through RateTables. The class 0x4D builders refuse a code
// outside 0..255 (empty result).
QByteArray setBaudRate(int baud);                                             // class 0x02
QByteArray setFrequency(int hz, const QString &model, const QString &suffix); // class 0x03
QByteArray setContents(std::uint16_t mask);                                   // class 0x04
[[nodiscard]] QByteArray setAlgorithmMode(int modeCode);                      // 0x4D, sub 0x02
[[nodiscard]] QByteArray setOutputProtocol(int protocolCode);                 // 0x4D, sub 0x03
[[nodiscard]] QByteArray setRateRange(int rangeCode);                         // 0x4D, sub 0x04

// Calibration and reset. The builders that scale refuse values that do not fit their
// integer field (non-finite, or out of range after scaling): they return an empty array,
// and the caller sends nothing. Scaling truncates toward zero.
QByteArray zeroHeading();                                              // 51 56 01 09 00 02 0C 21
[[nodiscard]] QByteArray setAttitude(double pitchDeg, double rollDeg); // ×100 as int16
[[nodiscard]] QByteArray writeGyroBias(double x, double y, double z);  // ×1,000,000 as int32
[[nodiscard]] QByteArray
writeMagCalibration(const std::array<double, 12> &params); // ×1,000,000 as int32

} // namespace CommandFrame

// Content mask bits of the set-contents command.
namespace ContentMask {
constexpr std::uint16_t Timestamp = 0x8000;
constexpr std::uint16_t FusionState = 0x0800;
constexpr std::uint16_t Temperature = 0x0400;
constexpr std::uint16_t Acceleration = 0x0080;
constexpr std::uint16_t AngularVelocity = 0x0040;
constexpr std::uint16_t Magnetic = 0x0020;
constexpr std::uint16_t Euler = 0x0010;
constexpr std::uint16_t Quaternion = 0x0008;
constexpr std::uint16_t Utc = 0x0004;
constexpr std::uint16_t Position = 0x0002;
constexpr std::uint16_t Speed = 0x0001;
constexpr std::uint16_t All = 0x8CFF;
} // namespace ContentMask

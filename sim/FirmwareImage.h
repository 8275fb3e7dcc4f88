#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The firmware image the simulated unit accepts:
//
//   offset  size  content
//   0       4     magic "ARVF" (travels in the start frame; checked there)
//   4       4     image size in bytes, unsigned 32-bit little-endian
//   8       4     CRC-32 (zlib polynomial) of the bytes from offset 16 to the end
//   12      3     hardware code, not checked (travels in the start frame)
//   15      1     0
//   16      32    version text, ASCII, padded with zero bytes
//   48      ...   payload (any bytes)
//
// After a successful transfer the unit reports the version text of offset 16.
namespace FirmwareImage {

constexpr int HeaderSize = 48;
constexpr int VersionOffset = 16;
constexpr int VersionSize = 32;

std::uint32_t crc32(const char *data, int length);

// A well-formed image with this version text and payloadSize payload bytes.
QByteArray make(const QString &version, int payloadSize, std::uint32_t seed = 1);

enum class Check
{
    Ok,
    BadMagic, // the first four bytes are not "ARVF"
    BadSize,  // too short, or the size field differs from the length
    BadCrc    // the CRC-32 does not match
};
Check check(const QByteArray &image);

// The version text of a well-formed image.
QString version(const QByteArray &image);

} // namespace FirmwareImage

#pragma once

#include <QByteArray>

#include <cstdint>

// The envelope of an output frame: 51 56, TID (u16), LEN, payload, CK1, CK2.
namespace OutputFrame {

constexpr std::uint8_t Header1 = 0x51;
constexpr std::uint8_t Header2 = 0x56;
constexpr int EnvelopeSize = 7; // total length = payload length + 7

// Builds a whole frame around a payload of at most 255 bytes (empty result if longer).
[[nodiscard]] QByteArray build(std::uint16_t tid, const QByteArray &payload);

// True when the bytes at data[0 .. 7 + data[4]) are a complete, valid output frame.
// available: bytes readable from data.
bool isValidAt(const std::uint8_t *data, int available);

} // namespace OutputFrame

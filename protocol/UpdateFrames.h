#pragma once

#include <QByteArray>

// The firmware-update frames (class 0xFF in the command frame layout). The first four
// image bytes travel only in the start frame; the data frames carry bytes 4 onward,
// 256 bytes a frame.
namespace UpdateFrames {

constexpr int PacketSize = 256;
// The start frame reads image bytes 12 to 14: smaller images cannot be sent.
constexpr int MinImageSize = 15;
// Frame numbers and the frame count are 16-bit fields.
constexpr int MaxPackets = 65535;

// Number of data frames P = ceil((image size - 4) / 256); 0 for images of 4 bytes or less.
int packetCount(const QByteArray &image);

// Start frame (21 bytes, op 1): 01, 0B 00, size - 4 (u32), image bytes 12-14, image bytes
// 0-3. Images shorter than 15 bytes, or needing more than 65535 data frames (frame
// numbers are 16-bit), cannot be sent: empty result.
[[nodiscard]] QByteArray start(const QByteArray &image);

// Data frame k (1..P, op 2): 02, m + 4 (u16), k (u16), P (u16), m image bytes.
// Empty result for k outside 1..P, or when P exceeds 65535.
[[nodiscard]] QByteArray data(const QByteArray &image, int k);

// Data frame k of count carrying chunk (1 to 256 bytes): the layout data() uses. Empty
// result for an empty or longer chunk, k outside 1..count, or count above 65535.
[[nodiscard]] QByteArray dataFrame(const QByteArray &chunk, int k, int count);

// Finish frame: 51 56 FF 06 00 05 09.
QByteArray finish();

} // namespace UpdateFrames

#pragma once

#include "protocol/OutputFrame.h"

#include <cstdint>

// The layout of command frames and of the unit's answers, written once: 51 56, class byte,
// 16-bit little-endian length word (bits 0-2 operation code, bits 3-15 data length), data,
// CK1, CK2 over class, length word and data. Building frames: CommandFrame.h; reading
// answers: Answer.h.
namespace CommandLayout {

// The same two header bytes as output frames.
constexpr std::uint8_t Header1 = OutputFrame::Header1;
constexpr std::uint8_t Header2 = OutputFrame::Header2;
// Bytes around the data: header (2), class (1), length word (2), checksum (2).
constexpr int EnvelopeSize = 7;
// Offset of the first data byte.
constexpr int DataOffset = 5;
// The most data the length word can announce (13 bits).
constexpr int MaxDataLength = 8191;

// The length word for dataLength bytes of data and an operation code (its low three bits).
constexpr unsigned lengthWord(int dataLength, int op)
{
    return unsigned(dataLength) * 8u + (unsigned(op) & 0x07u);
}
constexpr int dataLengthOf(unsigned word)
{
    return int(word >> 3);
}
constexpr int opOf(unsigned word)
{
    return int(word & 0x07u);
}
// The length word of the frame that starts at bytes (at least five readable bytes).
inline unsigned lengthWordAt(const std::uint8_t *bytes)
{
    return unsigned(bytes[3]) | (unsigned(bytes[4]) << 8);
}

} // namespace CommandLayout

// Class bytes of commands and answers.
namespace CommandClass {
constexpr std::uint8_t Identity = 0x00;    // product ID and version queries
constexpr std::uint8_t Heading = 0x01;     // heading zero
constexpr std::uint8_t Baud = 0x02;        // baud rate (the unit does not answer)
constexpr std::uint8_t Frequency = 0x03;   // output frequency
constexpr std::uint8_t Contents = 0x04;    // output contents
constexpr std::uint8_t Calibration = 0x05; // attitude set, gyro bias, magnetometer
constexpr std::uint8_t Algorithm = 0x4D;   // algorithm mode, output protocol, rate range
constexpr std::uint8_t Update = 0xFF;      // firmware update
} // namespace CommandClass

// Operation codes (low three bits of the length word).
namespace CommandOp {
constexpr std::uint8_t Query = 0;
constexpr std::uint8_t Heading = 1;
constexpr std::uint8_t Set = 2;
constexpr std::uint8_t UpdateStart = 1;
constexpr std::uint8_t UpdateData = 2;
constexpr std::uint8_t UpdateFinish = 6;
} // namespace CommandOp

// The first data byte of commands that carry several kinds of request in one class.
namespace CommandSub {
constexpr std::uint8_t ProductId = 0x01;     // class Identity
constexpr std::uint8_t Version = 0x02;       // class Identity
constexpr std::uint8_t HeadingZero = 0x02;   // class Heading
constexpr std::uint8_t AlgorithmMode = 0x02; // class Algorithm
constexpr std::uint8_t OutputProtocol = 0x03;
constexpr std::uint8_t RateRange = 0x04;
constexpr std::uint8_t AttitudeSet = 0x11; // class Calibration
constexpr std::uint8_t GyroBias = 0x03;
constexpr std::uint8_t MagCalibration = 0x07;
constexpr std::uint8_t UpdateStart = 0x01; // class Update, start frame
constexpr std::uint8_t UpdateData = 0x02;  // class Update, data frame
} // namespace CommandSub

// Status bytes of the unit's answers to settings.
namespace AnswerStatus {
constexpr std::uint8_t Success = 0x00;
constexpr std::uint8_t Failure = 0xFF;
// The finish frame's answer of a good update carries this status; it counts as success.
constexpr std::uint8_t UpdateFinished = 0xE2;
} // namespace AnswerStatus
